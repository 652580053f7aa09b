#include "scheduler/timer_win.h"

namespace reprisa {

namespace {

constexpr wchar_t kWindowClass[] = L"ReprisaTimerWindow";
constexpr UINT_PTR kTimerId = 1;

HINSTANCE ModuleInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
  return module;
}

}  // namespace

LRESULT CALLBACK Win32TimerBackend::WindowProc(HWND window, UINT message, WPARAM wparam,
                                               LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_NCDESTROY) {
    // Whoever destroys the window, the backend forgets it and makes a new one when it starts.
    auto* self = reinterpret_cast<Win32TimerBackend*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && self->window_ == window) self->window_ = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  } else if (message == WM_TIMER && wparam == kTimerId) {
    auto* self = reinterpret_cast<Win32TimerBackend*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && self->timer_ != nullptr) {
      try {
        self->timer_->DeliverTick();  // catches what the handler raises
      } catch (...) {
        HandleException(self->timer_);
      }
    }
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

Win32TimerBackend::~Win32TimerBackend() {
  if (window_ != nullptr) {
    KillTimer(window_, kTimerId);
    DestroyWindow(window_);
  }
}

bool Win32TimerBackend::Start(std::uint32_t interval_ms) {
  if (window_ == nullptr) {
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
    window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              ModuleInstance(), this);
    if (window_ == nullptr) return false;
  }
  return SetTimer(window_, kTimerId, interval_ms, nullptr) != 0;
}

void Win32TimerBackend::Stop() noexcept {
  if (window_ != nullptr) KillTimer(window_, kTimerId);
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
