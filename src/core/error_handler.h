// The application-wide error handler, reachable from the portable core and from every Win32
// callback. Call HandleException only inside a catch block: it reports the exception in flight.
#pragma once

#include <functional>

namespace reprisa {

// Root of the program's object classes; a handler's "sender".
class TObject {
 public:
  virtual ~TObject() = default;
};

using ErrorHandler = std::function<void(TObject* sender)>;

// Installs the handler (the application object does this at start-up); returns the previous one.
ErrorHandler SetErrorHandler(ErrorHandler handler);

// Hands the exception in flight to the installed handler. Never throws: with no handler installed,
// or when the handler itself fails, the exception is dropped.
void HandleException(TObject* sender) noexcept;

}  // namespace reprisa
