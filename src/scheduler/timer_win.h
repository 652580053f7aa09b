// The Win32 side of the timer: SetTimer on a hidden message-only window that all timers share,
// each under its own id, so that ticks arrive as WM_TIMER messages of the thread that created
// the window; and the system tick count. All timers belong to that one thread, the program's
// user-interface thread.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "scheduler/timer.h"

namespace reprisa {

class Win32TimerBackend final : public TimerBackend {
 public:
  Win32TimerBackend();
  ~Win32TimerBackend() override;

  Win32TimerBackend(const Win32TimerBackend&) = delete;
  Win32TimerBackend& operator=(const Win32TimerBackend&) = delete;

  void Bind(TTimer* timer) noexcept override { timer_ = timer; }
  // Creates the shared hidden window when there is none; a window that cannot be created counts
  // as a refused timer.
  bool Start(std::uint32_t interval_ms) override;
  void Stop() noexcept override;

  // The hidden window the timer runs on (null until the first Start, and after that window was
  // destroyed).
  HWND Window() const noexcept { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static std::vector<Win32TimerBackend*>& Live();
  static HWND& SharedWindow();
  UINT_PTR Id() const noexcept { return id_; }

  TTimer* timer_ = nullptr;
  HWND window_ = nullptr;
  UINT_PTR id_;  // never used again by a later backend, so no late tick reaches a stranger
};

// A new backend bound to the system: `TTimer Timer1{NewWin32TimerBackend()};`
std::unique_ptr<TimerBackend> NewWin32TimerBackend();

// A new timer on the system backend (Interval 1000, Enabled true, no handler yet).
std::unique_ptr<TTimer> NewWin32Timer();

// The system tick count (GetTickCount).
class Win32TickSource final : public TickSource {
 public:
  std::uint32_t Now() override;
};

// One tick source for the whole process.
TickSource& SystemTickSource();

}  // namespace reprisa
