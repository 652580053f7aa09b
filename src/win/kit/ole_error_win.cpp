#include "win/kit/ole_error_win.h"

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/exceptions.h"
#include "core/ole_error.h"

namespace reprisa {

namespace {
struct LocalDeleter {
  void operator()(wchar_t* s) const noexcept { LocalFree(s); }
};
}  // namespace

std::wstring OleErrorMessage(HRESULT code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::unique_ptr<wchar_t, LocalDeleter> owned(buffer);
  std::wstring_view text;
  if (length > 0 && buffer) text = std::wstring_view(buffer, length);
  return OleErrorText(static_cast<std::int32_t>(code), text);
}

HRESULT OleCheck(HRESULT code) {
  if (FAILED(code)) throw EOleSysError(OleErrorMessage(code), static_cast<std::int32_t>(code));
  return code;
}

}  // namespace reprisa
