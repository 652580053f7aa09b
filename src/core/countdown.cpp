#include "core/countdown.h"

#include <utility>

#include "core/exceptions.h"
#include "core/texts.h"

namespace reprisa {

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

void ReloadSchedule::NoteReload() { lasttimer_ = ticks_.Now(); }

void ReloadSchedule::Stamp() { lasttimer_ = ticks_.Now(); }

std::wstring ReloadSchedule::CountdownText(std::uint32_t now) const {
  return TimeText(RemainingTime(timer_.Interval(), now, lasttimer_));
}

std::wstring ReloadSchedule::CountdownText() const { return CountdownText(ticks_.Now()); }

}  // namespace reprisa
