#include "core/ole_error.h"

#include "core/texts.h"

namespace reprisa {

std::wstring UnknownErrorText(std::int32_t code) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  auto value = static_cast<std::uint32_t>(code);
  std::wstring hex(8, L'0');
  for (int i = 7; i >= 0; --i, value >>= 4) hex[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
  return std::wstring(texts::kUnknownError) + hex;
}

std::wstring OleErrorText(std::int32_t code, std::wstring_view system_text) {
  std::size_t end = system_text.size();
  while (end > 0) {
    wchar_t c = system_text[end - 1];
    if (c != L'\r' && c != L'\n' && c != L' ' && c != L'\t' && c != L'\0') break;
    --end;
  }
  if (end == 0) return UnknownErrorText(code);
  return std::wstring(system_text.substr(0, end));
}

}  // namespace reprisa
