#include "scheduler/timer_win.h"

#include <algorithm>

namespace reprisa {

namespace {

constexpr wchar_t kWindowClass[] = L"ReprisaTimerWindow";

HINSTANCE ModuleInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
  return module;
}

}  // namespace

// Every timer runs on one hidden window of the user-interface thread, under its own timer id;
// a tick is delivered only to a backend that still exists.
std::vector<Win32TimerBackend*>& Win32TimerBackend::Live() {
  static std::vector<Win32TimerBackend*> live;
  return live;
}

HWND& Win32TimerBackend::SharedWindow() {
  static HWND window = nullptr;
  return window;
}

LRESULT CALLBACK Win32TimerBackend::WindowProc(HWND window, UINT message, WPARAM wparam,
                                               LPARAM lparam) {
  if (message == WM_NCDESTROY) {
    // Whoever destroys the window, the backends forget it and a new one is made at the next start.
    if (SharedWindow() == window) SharedWindow() = nullptr;
    for (Win32TimerBackend* backend : Live())
      if (backend->window_ == window) backend->window_ = nullptr;
  } else if (message == WM_TIMER) {
    const std::vector<Win32TimerBackend*>& live = Live();
    auto it = std::find_if(live.begin(), live.end(), [&](Win32TimerBackend* backend) {
      return backend->Id() == wparam && backend->window_ == window;
    });
    if (it != live.end() && (*it)->timer_ != nullptr) {
      TTimer* timer = (*it)->timer_;
      try {
        timer->DeliverTick();  // catches what the handler raises
      } catch (...) {
        HandleException(timer);
      }
    }
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

Win32TimerBackend::Win32TimerBackend() {
  static UINT_PTR next_id = 0;
  id_ = ++next_id;
  Live().push_back(this);
}

Win32TimerBackend::~Win32TimerBackend() {
  if (window_ != nullptr) KillTimer(window_, Id());
  std::vector<Win32TimerBackend*>& live = Live();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

bool Win32TimerBackend::Start(std::uint32_t interval_ms) {
  if (window_ == nullptr) {
    HWND& shared = SharedWindow();
    if (shared == nullptr) {
      static bool registered = false;  // a failed registration is tried again next time
      if (!registered) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Win32TimerBackend::WindowProc;
        wc.hInstance = ModuleInstance();
        wc.lpszClassName = kWindowClass;
        registered = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        if (!registered) return false;
      }
      shared = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               ModuleInstance(), nullptr);
      if (shared == nullptr) return false;
    }
    window_ = shared;
  }
  return SetTimer(window_, Id(), interval_ms, nullptr) != 0;
}

void Win32TimerBackend::Stop() noexcept {
  if (window_ != nullptr) KillTimer(window_, Id());
}

std::unique_ptr<TimerBackend> NewWin32TimerBackend() {
  return std::make_unique<Win32TimerBackend>();
}

std::unique_ptr<TTimer> NewWin32Timer() {
  return std::make_unique<TTimer>(NewWin32TimerBackend());
}

std::uint32_t Win32TickSource::Now() { return GetTickCount(); }

TickSource& SystemTickSource() {
  static Win32TickSource source;
  return source;
}

}  // namespace reprisa
