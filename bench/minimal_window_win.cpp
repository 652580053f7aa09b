// The start-up benchmark's references, one source built twice with the same compiler, flags and
// static runtime as reprisa.exe, so that the difference is what reprisa itself does at start:
//  - minimal_window: the least a Win32 program can do to show a window. It registers one class,
//    opens a visible top-level window captioned "Minimal" and pumps messages until it is closed.
//  - minimal_themed (MINIMAL_THEMED defined): the same, plus what every program here that looks
//    themed and hosts a browser control does first: common controls 6 through its manifest
//    (minimal_themed.rc) and InitCommonControlsEx, and OLE on its thread. Captioned
//    "Minimal Themed".
#include <windows.h>
#ifdef MINIMAL_THEMED
#include <commctrl.h>
#include <ole2.h>
#endif

namespace {

#ifdef MINIMAL_THEMED
constexpr const wchar_t* kClassName = L"MinimalThemedWindow";
constexpr const wchar_t* kCaption = L"Minimal Themed";
#else
constexpr const wchar_t* kClassName = L"MinimalWindow";
constexpr const wchar_t* kCaption = L"Minimal";
#endif

LRESULT CALLBACK MinimalWndProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(wnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(wnd, msg, wparam, lparam);
  }
}

int Run(HINSTANCE instance, int show) {
#ifdef MINIMAL_THEMED
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  if (!InitCommonControlsEx(&controls)) return 1;
#endif

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = MinimalWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return 1;

  HWND wnd = CreateWindowExW(0, wc.lpszClassName, kCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, 400, 300, nullptr, nullptr, instance, nullptr);
  if (!wnd) return 1;
  ShowWindow(wnd, show);
  UpdateWindow(wnd);

  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
#ifdef MINIMAL_THEMED
  if (FAILED(OleInitialize(nullptr))) return 1;
  int code = Run(instance, show);
  OleUninitialize();
  return code;
#else
  return Run(instance, show);
#endif
}
