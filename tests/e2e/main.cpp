// The end-to-end driver's entry: e2e_driver.exe <path of reprisa.exe> [GoogleTest flags].
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "driver.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: e2e_driver <path of reprisa.exe> [gtest flags]\n");
    return 2;
  }
  int wargc = 0;
  LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
  // GoogleTest took its own flags out of argv; the program's path is the first argument left.
  std::wstring path;
  for (int i = 1; wargv && i < wargc; ++i)
    if (wcsncmp(wargv[i], L"--gtest", 7) != 0) {
      path = wargv[i];
      break;
    }
  if (wargv) LocalFree(wargv);
  e2e::SetProgramPath(path);
  if (GetFileAttributesW(e2e::ProgramPath().c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "e2e_driver: program not found: %s\n",
                 e2e::Narrow(e2e::ProgramPath()).c_str());
    return 2;
  }
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
    std::fprintf(stderr, "e2e_driver: Winsock did not start\n");
    return 2;
  }
  int result = RUN_ALL_TESTS();
  WSACleanup();
  return result;
}
