// An error handler for the lifetime of a scope: the one before it is given back at the end,
// whatever way the scope is left. Portable: for the Windows and the Linux suites alike.
#pragma once

#include <utility>

#include "core/error_handler.h"

namespace reprisa::testing_support {

class ScopedErrorHandler {
 public:
  explicit ScopedErrorHandler(ErrorHandler handler)
      : previous_(SetErrorHandler(std::move(handler))) {}
  ~ScopedErrorHandler() { SetErrorHandler(std::move(previous_)); }
  ScopedErrorHandler(const ScopedErrorHandler&) = delete;
  ScopedErrorHandler& operator=(const ScopedErrorHandler&) = delete;

 private:
  ErrorHandler previous_;
};

}  // namespace reprisa::testing_support
