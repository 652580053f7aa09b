#include "win/kit/timer_win.h"

#include <algorithm>

namespace reprisa {

// Thread timers need no window of their own, which keeps a window (and its round trips to the
// window system) out of the program's start. The system names each timer by an id of its own
// choosing; a tick is delivered only to the backend that runs under that id now.
std::vector<Win32TimerBackend*>& Win32TimerBackend::Live() {
  static std::vector<Win32TimerBackend*> live;
  return live;
}

void CALLBACK Win32TimerBackend::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  const std::vector<Win32TimerBackend*>& live = Live();
  auto it = std::find_if(live.begin(), live.end(),
                         [&](Win32TimerBackend* backend) { return backend->id_ == id; });
  if (it == live.end() || (*it)->timer_ == nullptr) return;
  (*it)->timer_->DeliverTick();  // hands what the handler raises to the error handler
}

Win32TimerBackend::Win32TimerBackend() { Live().push_back(this); }

Win32TimerBackend::~Win32TimerBackend() {
  Stop();
  std::vector<Win32TimerBackend*>& live = Live();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

bool Win32TimerBackend::Start(std::uint32_t interval_ms) {
  id_ = SetTimer(nullptr, 0, interval_ms, &Win32TimerBackend::TimerProc);
  return id_ != 0;
}

void Win32TimerBackend::Stop() noexcept {
  if (id_ == 0) return;
  KillTimer(nullptr, id_);
  id_ = 0;
}

std::unique_ptr<TimerBackend> NewWin32TimerBackend() {
  return std::make_unique<Win32TimerBackend>();
}

std::uint32_t Win32TickSource::Now() { return GetTickCount(); }

TickSource& SystemTickSource() {
  static Win32TickSource source;
  return source;
}

}  // namespace reprisa
