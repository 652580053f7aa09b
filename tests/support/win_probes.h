// Reading windows as a user sees them, in this process or another one: menu items, message
// boxes, popup menus. Shared by the in-process suites and the end-to-end driver.
#pragma once

#include <windows.h>

#include <string>

namespace reprisa::testing_support {

// The text of a menu item by position, "&" marks included; empty when there is none.
inline std::wstring MenuText(HMENU menu, int position) {
  wchar_t text[64] = {};
  GetMenuStringW(menu, static_cast<UINT>(position), text, 64, MF_BYPOSITION);
  return text;
}

inline bool HasClass(HWND hwnd, const wchar_t* name) {
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  return lstrcmpW(cls, name) == 0;
}
inline bool IsMessageBox(HWND hwnd) { return HasClass(hwnd, L"#32770"); }
inline bool IsPopupMenu(HWND hwnd) { return HasClass(hwnd, L"#32768"); }

// The message a message box shows (its text control has the id 0xFFFF).
inline std::wstring MessageBoxText(HWND box) {
  wchar_t text[512] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 512);
  return text;
}

}  // namespace reprisa::testing_support
