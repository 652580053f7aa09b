#include "core/exceptions.h"

#include <typeinfo>

#include "core/texts.h"
#include "core/utf8.h"

namespace reprisa {

Exception::Exception(std::wstring message, std::shared_ptr<const Exception> inner)
    : message_(std::move(message)), inner_(std::move(inner)), narrow_(NarrowUtf8(message_)) {}

std::wstring FormatMessageText(std::wstring_view pattern,
                               std::initializer_list<std::wstring_view> args) {
  std::wstring out;
  out.reserve(pattern.size() + 16);
  auto arg = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == L'%' && i + 1 < pattern.size() && pattern[i + 1] == L's' &&
        arg != args.end()) {
      out.append(*arg++);
      ++i;
    } else {
      out.push_back(pattern[i]);
    }
  }
  return out;
}

std::wstring ExceptionDisplayText(const Exception& e) {
  const Exception* innermost = &e;
  while (innermost->Inner() != nullptr) innermost = innermost->Inner();
  std::wstring text = innermost->Message().empty() ? e.Message() : innermost->Message();
  if (!text.empty() && static_cast<unsigned>(text.back()) > static_cast<unsigned>(L'.'))
    text.push_back(L'.');
  return text;
}

std::wstring LastResortText(std::wstring_view description) {
  std::wstring text(texts::kUnexpectedError);
  if (!description.empty()) {
    text += L":\n";
    text += description;
  } else {
    text += L".";
  }
  return text;
}

std::optional<std::wstring> ReportText(const ExceptionReport& report) {
  switch (report.route) {
    case ExceptionRoute::Silent:
      return std::nullopt;
    case ExceptionRoute::LastResort:
      return LastResortText(report.text);
    case ExceptionRoute::Show:
      break;
  }
  return report.text;
}

ExceptionReport ClassifyException(std::exception_ptr e) {
  if (!e) e = std::current_exception();
  if (!e) return {ExceptionRoute::Silent, {}};
  try {
    std::rethrow_exception(e);
  } catch (const EAbort&) {
    return {ExceptionRoute::Silent, {}};
  } catch (const Exception& ours) {
    return {ExceptionRoute::Show, ExceptionDisplayText(ours)};
  } catch (const std::bad_alloc&) {
    return {ExceptionRoute::LastResort, std::wstring(texts::kOutOfMemory)};
  } catch (const std::exception& other) {
    return {ExceptionRoute::LastResort, WidenUtf8(other.what())};
  } catch (...) {
    return {ExceptionRoute::LastResort, {}};
  }
}

}  // namespace reprisa
