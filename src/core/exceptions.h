// The program's own exception classes and the text rule used when one is shown to the user.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "core/texts.h"

namespace reprisa {

// Base of every exception the program raises itself. The message is UTF-16; an exception may
// wrap an inner one (the failure that caused it).
class Exception : public std::exception {
 public:
  explicit Exception(std::wstring message, std::shared_ptr<const Exception> inner = nullptr);

  const std::wstring& Message() const noexcept { return message_; }
  const Exception* Inner() const noexcept { return inner_.get(); }
  const char* what() const noexcept override { return narrow_.c_str(); }

 private:
  std::wstring message_;
  std::shared_ptr<const Exception> inner_;
  std::string narrow_;  // UTF-8 copy for std::exception::what()
};

// Silent abort: leaves a handler without anything being shown.
class EAbort : public Exception {
 public:
  EAbort() : Exception(std::wstring(texts::kAborted)) {}
};

// A text could not be converted (an invalid interval text, for instance).
class EConvertError : public Exception {
  using Exception::Exception;
};

// The system refused a resource (a timer, a window, a GDI object).
class EOutOfResources : public Exception {
  using Exception::Exception;
};

// A registry read or write failed.
class ERegistryException : public Exception {
  using Exception::Exception;
};

// A system or OLE call failed with a result code; the message is the system's description.
class EOleSysError : public Exception {
 public:
  EOleSysError(std::wstring message, std::int32_t code)
      : Exception(std::move(message)), code_(code) {}
  std::int32_t ErrorCode() const noexcept { return code_; }

 private:
  std::int32_t code_;
};

// Replaces each "%s" of a message pattern, in order, with the given arguments.
std::wstring FormatMessageText(std::wstring_view pattern,
                               std::initializer_list<std::wstring_view> args);

// The text shown for an exception: the innermost wrapped exception's message when that is not
// empty, otherwise the exception's own; a "." is appended when the text is not empty and its last
// character's code is above that of ".".
std::wstring ExceptionDisplayText(const Exception& e);

// What the error handler does with an exception in flight.
enum class ExceptionRoute {
  Show,        // one of ours: its display text in a message box
  Silent,      // EAbort: nothing
  LastResort,  // not ours: the last-resort report
};

struct ExceptionReport {
  ExceptionRoute route;
  std::wstring text;  // display text (Show) or description (LastResort)
};

// Classifies the given exception (or, for nullptr, the one currently being handled).
ExceptionReport ClassifyException(std::exception_ptr e);

// The last-resort text for an exception that is not the program's own.
std::wstring LastResortText(std::wstring_view description);

// What the user is shown for a report: nothing for a silent abort, the last-resort text for an
// exception that is not the program's own, the display text otherwise.
std::optional<std::wstring> ReportText(const ExceptionReport& report);

}  // namespace reprisa
