// The GLib side of the timer: a main-loop timeout per running timer, whose ticks arrive on the
// thread that runs the GTK main loop; and the tick count from the monotonic clock.
#pragma once

#include <glib.h>

#include <cstdint>

#include "core/timer.h"

namespace reprisa {

class GTimeoutBackend final : public TimerBackend {
 public:
  GTimeoutBackend() = default;
  ~GTimeoutBackend() override;
  GTimeoutBackend(const GTimeoutBackend&) = delete;
  GTimeoutBackend& operator=(const GTimeoutBackend&) = delete;

  void Bind(TTimer* timer) noexcept override { timer_ = timer; }
  bool Start(std::uint32_t interval_ms) override;
  void Stop() noexcept override;

 private:
  static gboolean OnTimeout(gpointer self);

  TTimer* timer_ = nullptr;
  guint source_ = 0;  // the main loop's id of the running timeout, 0 while none runs
};

// Milliseconds of the monotonic clock, cut to 32 bits like the Windows tick count (it wraps
// after about 49.7 days, which the countdown arithmetic allows for).
class MonotonicTickSource final : public TickSource {
 public:
  std::uint32_t Now() override;
};

}  // namespace reprisa
