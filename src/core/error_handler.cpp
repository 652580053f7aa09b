#include "core/error_handler.h"

namespace reprisa {

namespace {
ErrorHandler& Current() {
  static ErrorHandler handler;
  return handler;
}
}  // namespace

ErrorHandler SetErrorHandler(ErrorHandler handler) {
  ErrorHandler previous = std::move(Current());
  Current() = std::move(handler);
  return previous;
}

void HandleException(TObject* sender) noexcept {
  try {
    if (Current()) Current()(sender);
  } catch (...) {
    // The error handler must never let a second failure escape into a system callback.
  }
}

}  // namespace reprisa
