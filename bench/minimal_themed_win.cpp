// The start-up benchmark's themed reference: the least a program that looks like every other
// program here does before its window shows. Beside what minimal_window_win.cpp does, it loads
// common controls 6 through its manifest (minimal_themed.rc) and InitCommonControlsEx, and
// initialises OLE on its thread, as a program that hosts a browser control must. Its window is
// captioned "Minimal Themed".
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

namespace {

LRESULT CALLBACK ThemedWndProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam) {
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
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  if (!InitCommonControlsEx(&controls)) return 1;

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ThemedWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"MinimalThemedWindow";
  if (!RegisterClassExW(&wc)) return 1;

  HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"Minimal Themed", WS_OVERLAPPEDWINDOW,
                             CW_USEDEFAULT, CW_USEDEFAULT, 400, 300, nullptr, nullptr, instance,
                             nullptr);
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
  if (FAILED(OleInitialize(nullptr))) return 1;
  int code = Run(instance, show);
  OleUninitialize();
  return code;
}
