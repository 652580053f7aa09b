// The Win32 side of the timer: thread timers (SetTimer without a window) of the thread that
// starts them, whose ticks arrive as WM_TIMER messages that DispatchMessage hands to our timer
// procedure; and the system tick count. All timers belong to that one thread, the program's
// user-interface thread.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "core/timer.h"

namespace reprisa {

class Win32TimerBackend final : public TimerBackend {
 public:
  Win32TimerBackend();
  ~Win32TimerBackend() override;

  Win32TimerBackend(const Win32TimerBackend&) = delete;
  Win32TimerBackend& operator=(const Win32TimerBackend&) = delete;

  void Bind(TTimer* timer) noexcept override { timer_ = timer; }
  bool Start(std::uint32_t interval_ms) override;
  void Stop() noexcept override;

 private:
  static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
  static std::vector<Win32TimerBackend*>& Live();

  TTimer* timer_ = nullptr;
  UINT_PTR id_ = 0;  // the system's id of the running timer, 0 while none runs
};

// A new backend bound to the system: `TTimer timer{NewWin32TimerBackend()};`
std::unique_ptr<TimerBackend> NewWin32TimerBackend();

// The system tick count (GetTickCount).
class Win32TickSource final : public TickSource {
 public:
  std::uint32_t Now() override;
};

// One tick source for the whole process.
TickSource& SystemTickSource();

}  // namespace reprisa
