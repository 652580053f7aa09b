// The reload schedule: the reload timer's interval, the tick count of the last (re)start and the
// countdown derived from them. It touches no control; the reload presenter drives it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/interval_text.h"
#include "core/locale_settings.h"
#include "core/timer.h"

namespace reprisa {

// The shortest wait for the next display tick: a tick that comes up to this much before its
// mid-point still counts as that mid-point's tick, so the next one is a second later.
inline constexpr std::uint32_t kMinDisplayTickDelay = 250;

// The delay, in ms, from tick count now to the next display tick of a countdown of the given
// interval that last started at tick count lasttimer. The countdown text changes where the
// remaining time crosses a whole second; the display ticks half-way between two such boundaries,
// so that a few ms of timer jitter never decide which second a tick reads: the next mid-point
// at least kMinDisplayTickDelay ms away (so the result is kMinDisplayTickDelay to
// kMinDisplayTickDelay + 999). Tick counts wrap like RemainingTime's.
std::uint32_t DisplayTickDelay(std::int32_t interval, std::uint32_t now, std::uint32_t lasttimer);

class ReloadSchedule {
 public:
  // The schedule works on the given reload timer and tick source, which must outlive it, and
  // reads interval texts under the given locale (by default the process-wide one).
  ReloadSchedule(TTimer& reload_timer, TickSource& ticks);
  ReloadSchedule(TTimer& reload_timer, TickSource& ticks, LocaleSettings locale);

  // Reads the interval text; on success sets the reload interval, restarts the reload timer,
  // stamps lasttimer and returns the time text of the interval read back from the timer.
  // An invalid text raises EConvertError("''<text>'' is not a valid time") before anything has
  // changed. A refused system timer raises EOutOfResources.
  std::wstring ApplyIntervalText(std::wstring_view text);

  // Restarts the reload timer, so that the full interval runs from now, and stamps lasttimer.
  void RestartCountdown();

  // Sets lasttimer to now: the start of a countdown (when the window is created, and at every
  // reload).
  void Stamp();

  // The time text of the time left at tick count now.
  std::wstring CountdownText(std::uint32_t now) const;
  // The same at the tick source's current tick count.
  std::wstring CountdownText() const;

  // The delay from tick count now (by default the tick source's) to the next display tick.
  std::uint32_t NextDisplayTickDelay(std::uint32_t now) const;
  std::uint32_t NextDisplayTickDelay() const;

  std::uint32_t LastTimer() const noexcept { return lasttimer_; }
  void SetLastTimer(std::uint32_t ticks) noexcept { lasttimer_ = ticks; }
  const LocaleSettings& Locale() const noexcept { return locale_; }

 private:
  TTimer& timer_;
  TickSource& ticks_;
  LocaleSettings locale_;
  std::uint32_t lasttimer_ = 0;
};

}  // namespace reprisa
