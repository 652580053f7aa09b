// The fake-runtime tests' entry:
//   webview2_e2e.exe <reprisa.exe> <fake runtime DLL> <fake without entry point> [gtest flags]
//   webview2_e2e.exe --call-past-the-table <fake runtime DLL>   (a child of one of the tests)
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "fake_install.h"

namespace fakewv2 {
int CallPastTheTable(const std::wstring& dll);
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  int wargc = 0;
  LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
  // A child of the fake's own test.
  if (wargv && wargc == 3 && wcscmp(wargv[1], L"--call-past-the-table") == 0)
    return fakewv2::CallPastTheTable(wargv[2]);
  std::vector<std::wstring> paths;
  for (int i = 1; wargv && i < wargc; ++i)
    if (wcsncmp(wargv[i], L"--gtest", 7) != 0) paths.push_back(wargv[i]);
  if (wargv) LocalFree(wargv);
  if (paths.size() != 3) {
    std::fprintf(stderr,
                 "usage: webview2_e2e <reprisa.exe> <fake runtime DLL> <fake without entry "
                 "point> [gtest flags]\n");
    return 2;
  }
  e2e::SetProgramPath(paths[0]);
  fakewv2::SetBuilds(e2e::WindowsPath(paths[1]), e2e::WindowsPath(paths[2]));
  for (const std::wstring& path :
       {e2e::ProgramPath(), e2e::WindowsPath(paths[1]), e2e::WindowsPath(paths[2])})
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      std::fprintf(stderr, "webview2_e2e: not found: %s\n", e2e::Narrow(path).c_str());
      return 2;
    }
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
    std::fprintf(stderr, "webview2_e2e: Winsock did not start\n");
    return 2;
  }
  int result = RUN_ALL_TESTS();
  // No runtime is left behind for the next program in this prefix.
  fakewv2::FakeRuntime::RemoveAllRecords();
  WSACleanup();
  return result;
}
