#include "core/timer.h"

#include <stdexcept>
#include <utility>

#include "core/exceptions.h"
#include "core/texts.h"

namespace reprisa {

TTimer::TTimer(std::unique_ptr<TimerBackend> backend) : backend_(std::move(backend)) {
  if (!backend_) throw std::invalid_argument("TTimer needs a timer backend");
  backend_->Bind(this);
}

TTimer::~TTimer() { Disarm(); }

void TTimer::SetInterval(std::int32_t interval) {
  if (interval == interval_) return;
  interval_ = interval;
  UpdateTimer();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetOnTimer(Handler handler) {
  on_timer_ = std::move(handler);
  UpdateTimer();
}

void TTimer::Restart() {
  SetEnabled(false);
  SetEnabled(true);
}

void TTimer::DelayNextTick(std::uint32_t delay_ms) {
  if (!running_) return;
  Disarm();
  Arm(delay_ms);
  delayed_ = true;
}

void TTimer::Disarm() noexcept {
  if (!running_) return;
  running_ = false;
  backend_->Stop();
}

void TTimer::Arm(std::uint32_t period_ms) {
  delayed_ = false;
  if (!backend_->Start(period_ms)) throw EOutOfResources(std::wstring(texts::kNoTimers));
  running_ = true;
}

void TTimer::BeginLoading() noexcept { loading_ = true; }

void TTimer::Loaded() {
  loading_ = false;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (loading_) return;
  delayed_ = false;
  Disarm();
  if (interval_ > 0 && enabled_ && on_timer_) Arm(static_cast<std::uint32_t>(interval_));
}

void TTimer::Tick() {
  if (!running_ || !on_timer_) return;
  if (delayed_) {
    // The one-off delay has run: back to the interval before the handler, which may delay again.
    Disarm();
    Arm(static_cast<std::uint32_t>(interval_));
  }
  // A copy, so that the handler may reassign OnTimer while it runs.
  Handler handler = on_timer_;
  handler();
}

void TTimer::DeliverTick() noexcept {
  try {
    Tick();
  } catch (...) {
    HandleException(this);
  }
}

}  // namespace reprisa
