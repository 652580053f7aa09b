// The timer component: periodic ticks on the user-interface thread, with the re-arm rules of a
// classic form timer, over a small backend that owns the system timer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/error_handler.h"

namespace reprisa {

class TTimer;

// The system side of one timer. A backend serves exactly one TTimer, which binds itself at
// construction; the backend delivers every tick by calling TTimer::DeliverTick on the
// user-interface thread.
class TimerBackend {
 public:
  virtual ~TimerBackend() = default;

  // Called once by the timer that owns the backend, before any Start.
  virtual void Bind(TTimer* timer) noexcept = 0;

  // Creates the system timer with the given period. Only called while no timer runs. Returns
  // false when the system refuses.
  virtual bool Start(std::uint32_t interval_ms) = 0;

  // Kills the running system timer. Only called while one runs.
  virtual void Stop() noexcept = 0;
};

// The source of the system's tick count: unsigned 32-bit milliseconds since system start.
class TickSource {
 public:
  virtual ~TickSource() = default;
  virtual std::uint32_t Now() = 0;
};

// A periodic timer. Assigning Interval or Enabled a value different from the current one, or
// assigning OnTimer, re-arms it: the running system timer is killed, and a new one is created with
// the full interval when Interval is above 0, Enabled is true and OnTimer is set. Assigning the
// value a property already has does nothing. A negative interval gives no ticks, like 0.
//
// While the timer is loading (BeginLoading ... Loaded), assignments only record the values;
// Loaded arms the timer once with the values then in force.
class TTimer : public TObject {
 public:
  using Handler = std::function<void()>;

  // The timer takes ownership of the backend (which must not be null). It starts with Interval
  // 1000, Enabled true and no handler, and so does not run yet.
  explicit TTimer(std::unique_ptr<TimerBackend> backend);
  ~TTimer() override;

  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  std::int32_t Interval() const noexcept { return interval_; }
  bool Enabled() const noexcept { return enabled_; }
  const Handler& OnTimer() const noexcept { return on_timer_; }

  // Each setter may re-arm; a refused system timer raises EOutOfResources("Not enough timers
  // available") after the new value has been taken, and leaves the timer stopped.
  void SetInterval(std::int32_t interval);
  void SetEnabled(bool enabled);
  void SetOnTimer(Handler handler);

  // Enabled false, then true: the full interval runs again from now.
  void Restart();

  // Re-arms a running timer so that its next tick comes delay_ms from now, and the ticks after
  // that every Interval ms again (Interval itself does not change). Does nothing while the timer
  // does not run. Any re-arm through the properties drops the pending delay. A refused system
  // timer raises EOutOfResources and leaves the timer stopped.
  void DelayNextTick(std::uint32_t delay_ms);

  // Whether a system timer is running for this timer.
  bool Running() const noexcept { return running_; }

  // Defers arming until Loaded (for components built from a description of their properties).
  void BeginLoading() noexcept;
  bool Loading() const noexcept { return loading_; }
  // Ends loading and arms the timer if its properties ask for ticks. May raise like the setters.
  virtual void Loaded();

  // One tick from the backend: calls OnTimer if the timer is running. An exception from the
  // handler propagates.
  void Tick();

  // One tick at a system callback boundary: like Tick, but an exception from the handler is
  // handed to the application's error handler with this timer as the sender.
  void DeliverTick() noexcept;

 private:
  void UpdateTimer();
  // Kills the running system timer, if one runs.
  void Disarm() noexcept;
  // Starts the system timer with the given period; raises when the system refuses.
  void Arm(std::uint32_t period_ms);

  std::unique_ptr<TimerBackend> backend_;
  std::int32_t interval_ = 1000;
  bool enabled_ = true;
  Handler on_timer_;
  bool running_ = false;
  bool loading_ = false;
  bool delayed_ = false;  // the running system timer has the one-off delay, not Interval
};

}  // namespace reprisa
