// Logging off with the program open: the session's end is answered with yes, and the main
// window's placement is saved at its end exactly as a close would save it, before the system
// ends the process without a close.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "driver.h"

namespace e2e {
namespace {

// A value of the stored placement, HKCU\Software\<program's file stem>\TMainForm; nothing when
// it is missing.
std::optional<std::wstring> StoredValue(const wchar_t* name) {
  const std::wstring key = PlacementKey() + L"\\TMainForm";
  wchar_t buffer[256] = {};
  DWORD size = sizeof(buffer);
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buffer);
}

LRESULT SendBounded(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  EXPECT_NE(SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &result), 0)
      << "no answer to message " << msg;
  return static_cast<LRESULT>(result);
}

TEST(EndSession, TheSessionsEndSavesThePlacementAsAClose) {
  Program program;
  ASSERT_TRUE(program.Start());
  HWND main = program.MainWindow();
  SetWindowPos(main, nullptr, 81, 72, 910, 650, SWP_NOZORDER | SWP_NOACTIVATE);
  const RECT moved = ScreenRect(main);

  EXPECT_EQ(SendBounded(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  EXPECT_EQ(StoredValue(L"NormPos"), std::nullopt) << "asking must not save yet";
  SendBounded(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  // The system ends the process after the message: no close, no destroy.
  program.Kill();
  ASSERT_TRUE(program.WaitForExit(5000).has_value());

  const std::wstring norm = std::to_wstring(moved.left) + L"," + std::to_wstring(moved.top) +
                            L"," + std::to_wstring(moved.right) + L"," +
                            std::to_wstring(moved.bottom);
  EXPECT_EQ(StoredValue(L"NormPos"), norm);
  EXPECT_EQ(StoredValue(L"FormVersion"), L"0");
  EXPECT_EQ(StoredValue(L"ShowCmd"), L"1");
  EXPECT_EQ(StoredValue(L"Visible"), L"0");  // as at a close, not as at a destroy

  // The next run opens there.
  Program next;
  ASSERT_TRUE(next.Start(std::nullopt, 20000, false));
  const RECT r = ScreenRect(next.MainWindow());
  EXPECT_EQ(r.left, moved.left);
  EXPECT_EQ(r.top, moved.top);
  EXPECT_EQ(next.Close(5000), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace e2e
