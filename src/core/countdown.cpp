#include "core/countdown.h"

#include <utility>

#include "core/exceptions.h"
#include "core/texts.h"

namespace reprisa {

std::uint32_t DisplayTickDelay(std::int32_t interval, std::uint32_t now, std::uint32_t lasttimer) {
  // 64 bits: the remaining time may be near either end of the 32-bit range.
  const std::int64_t remaining = RemainingTime(interval, now, lasttimer);
  // Where the remaining time stands within its second (0 on a boundary), counting down.
  const std::int64_t phase = ((remaining % 1000) + 1000) % 1000;
  // The remaining time falls by 1 per ms; the next mid-point is where the phase reads 500.
  std::int64_t delay = ((phase - 500) % 1000 + 1000) % 1000;
  if (delay < kMinDisplayTickDelay) delay += 1000;
  return static_cast<std::uint32_t>(delay);
}

ReloadSchedule::ReloadSchedule(TTimer& reload_timer, TickSource& ticks)
    : ReloadSchedule(reload_timer, ticks, CurrentLocaleSettings()) {}

ReloadSchedule::ReloadSchedule(TTimer& reload_timer, TickSource& ticks, LocaleSettings locale)
    : timer_(reload_timer), ticks_(ticks), locale_(std::move(locale)) {}

std::wstring ReloadSchedule::ApplyIntervalText(std::wstring_view text) {
  const auto interval = ParseIntervalText(text, locale_);
  if (!interval) throw EConvertError(FormatMessageText(texts::kInvalidTime, {text}));
  timer_.SetInterval(*interval);
  timer_.Restart();
  lasttimer_ = ticks_.Now();
  return TimeText(timer_.Interval());
}

void ReloadSchedule::RestartCountdown() {
  timer_.Restart();
  lasttimer_ = ticks_.Now();
}

void ReloadSchedule::Stamp() { lasttimer_ = ticks_.Now(); }

std::wstring ReloadSchedule::CountdownText(std::uint32_t now) const {
  return TimeText(RemainingTime(timer_.Interval(), now, lasttimer_));
}

std::wstring ReloadSchedule::CountdownText() const { return CountdownText(ticks_.Now()); }

std::uint32_t ReloadSchedule::NextDisplayTickDelay(std::uint32_t now) const {
  return DisplayTickDelay(timer_.Interval(), now, lasttimer_);
}

std::uint32_t ReloadSchedule::NextDisplayTickDelay() const {
  return NextDisplayTickDelay(ticks_.Now());
}

}  // namespace reprisa
