#include "core/reload_presenter.h"

#include <utility>

#include "core/interval_text.h"
#include "core/texts.h"

namespace reprisa {

namespace {

constexpr std::int32_t kDisplayTickInterval = 1000;

// The interval the fields show at start, read as written (with ':', whatever the user's locale).
std::int32_t InitialInterval() {
  const auto interval = ParseIntervalText(texts::kInitialInterval, LocaleSettings{});
  return interval.value_or(0);
}

}  // namespace

ReloadPresenter::ReloadPresenter(ReloadView& view, std::unique_ptr<TimerBackend> reload_backend,
                                 std::unique_ptr<TimerBackend> display_backend,
                                 std::unique_ptr<TimerBackend> recovery_backend, TickSource& ticks,
                                 LocaleSettings locale)
    : view_(view),
      ticks_(ticks),
      reload_timer_(std::move(reload_backend)),
      display_timer_(std::move(display_backend)),
      recovery_timer_(std::move(recovery_backend)),
      schedule_(reload_timer_, ticks, std::move(locale)),
      countdown_shown_(texts::kInitialInterval) {
  reload_timer_.SetInterval(InitialInterval());
  reload_timer_.SetOnTimer([this] { ReloadTick(); });
  display_timer_.SetInterval(kDisplayTickInterval);
  display_timer_.SetOnTimer([this] { DisplayTick(); });
  recovery_timer_.SetEnabled(false);
  recovery_timer_.SetOnTimer([this] { RecoveryTick(); });
  schedule_.Stamp();
  AlignDisplayTick();
}

ReloadPresenter::~ReloadPresenter() {
  reload_timer_.SetEnabled(false);
  display_timer_.SetEnabled(false);
  recovery_timer_.SetEnabled(false);
}

void ReloadPresenter::AlignDisplayTick() {
  display_timer_.DelayNextTick(schedule_.NextDisplayTickDelay());
}

void ReloadPresenter::OpenAddress(std::wstring_view address) {
  // A new page: what was waiting to bring the old one back is moot.
  CancelRecovery();
  recovery_.Reloaded();
  view_.OpenAddress(std::wstring(address));
}

void ReloadPresenter::ApplyInterval(std::wstring_view text) {
  try {
    view_.ShowInterval(schedule_.ApplyIntervalText(text));
    AlignDisplayTick();
  } catch (...) {
    // An invalid interval text changes nothing and shows nothing; nor does a refused timer
    // reach the user here.
  }
}

void ReloadPresenter::RestartCountdown() {
  schedule_.RestartCountdown();
  AlignDisplayTick();
}

void ReloadPresenter::ReloadTick() {
  try {
    schedule_.Stamp();
    AlignDisplayTick();
  } catch (...) {
    // A refused display timer stops the countdown display; the reload itself still happens.
  }
  CancelRecovery();
  recovery_.Reloaded();
  recovery_.Forget(ticks_.Now());
  try {
    view_.Reload();
  } catch (...) {
    // Whatever the browser reports on a reload is not the user's concern; the next comes later.
  }
}

void ReloadPresenter::DisplayTick() {
  recovery_.Forget(ticks_.Now());
  std::wstring text = schedule_.CountdownText();
  if (text != countdown_shown_) {
    view_.ShowCountdown(text);
    countdown_shown_ = std::move(text);
  }
  AlignDisplayTick();
}

}  // namespace reprisa

namespace reprisa {

void ReloadPresenter::ScheduleRecovery(Pending reason, std::uint32_t delay_ms) noexcept {
  const std::uint32_t now = ticks_.Now();
  if (pending_ != Pending::Nothing &&
      static_cast<std::int32_t>(recovery_due_ - now) <= static_cast<std::int32_t>(delay_ms)) {
    return;  // the page comes back sooner already
  }
  try {
    recovery_timer_.SetEnabled(false);
    // A timer of 0 ms never ticks: "at once" is the next turn of the message loop.
    recovery_timer_.SetInterval(static_cast<std::int32_t>(delay_ms > 0 ? delay_ms : 1));
    recovery_timer_.SetEnabled(true);
    pending_ = reason;
    recovery_due_ = now + delay_ms;
  } catch (...) {
    // No timer to be had: the reload tick brings the page back.
    pending_ = Pending::Nothing;
  }
}

void ReloadPresenter::CancelRecovery() noexcept {
  pending_ = Pending::Nothing;
  try {
    recovery_timer_.SetEnabled(false);
  } catch (...) {
    // Stopping a timer raises nothing; nothing to do either way.
  }
}

void ReloadPresenter::RecoveryTick() {
  CancelRecovery();
  try {
    view_.Recover();
  } catch (...) {
    // Whatever the engine reports is not the user's concern: a failure comes back as a report.
  }
}

void ReloadPresenter::EngineLost() noexcept {
  if (const auto delay = recovery_.EngineLost(ticks_.Now())) {
    ScheduleRecovery(Pending::Recovery, *delay);
  } else {
    CancelRecovery();  // lost too often lately: the reload tick brings it back
  }
}

void ReloadPresenter::LoadFailed() noexcept {
  ScheduleRecovery(Pending::Retry, recovery_.LoadFailed());
}

void ReloadPresenter::LoadSucceeded() noexcept {
  recovery_.LoadSucceeded();
  if (pending_ == Pending::Retry) CancelRecovery();
}

void ReloadPresenter::Resumed() noexcept {
  CancelRecovery();
  recovery_.Reloaded();
  try {
    schedule_.RestartCountdown();
    AlignDisplayTick();
  } catch (...) {
    // A refused timer stops the countdown; the reload still happens.
  }
  try {
    view_.Reload();
  } catch (...) {
    // As on a reload tick: nothing the browser reports reaches the user.
  }
}

}  // namespace reprisa
