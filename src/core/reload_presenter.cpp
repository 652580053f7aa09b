#include "core/reload_presenter.h"

#include <string>
#include <utility>

#include "core/event_log.h"
#include "core/interval_text.h"
#include "core/texts.h"

namespace reprisa {

namespace {

constexpr std::int32_t kDisplayTickInterval = 1000;

// The log's lines: what happened, then when the page comes back.
constexpr std::string_view kUntilReload = "bis zum n\xC3\xA4" "chsten Neuladen";

std::string ComesBack(std::optional<std::uint32_t> delay_ms) {
  if (!delay_ms) return "warten " + std::string(kUntilReload);
  if (*delay_ms == 0) return "neu laden sofort";
  return "neu laden in " + std::to_string((*delay_ms + 999) / 1000) + " s";
}

std::string_view FailureText(MediaFailure failure) {
  switch (failure) {
    case MediaFailure::Error: return "Fehler gemeldet";
    case MediaFailure::StreamEnded: return "Stream beendet";
    case MediaFailure::NoProgress: return "15 s ohne Fortschritt";
    case MediaFailure::NothingPlayed: return "nach dem Neuladen nichts abgespielt";
  }
  return "";
}

void Log(std::string_view what, std::optional<std::uint32_t> delay_ms) noexcept {
  try {
    LogEvent(std::string(what) + ", " + ComesBack(delay_ms));
  } catch (...) {
    // No memory for a line: it is lost.
  }
}

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
  helper_check_ = false;
  recovery_.Reloaded();
  media_.PageReplaced();
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
  helper_check_ = false;
  recovery_.Reloaded();
  recovery_.Forget(ticks_.Now());
  media_.PageReplaced();
  try {
    view_.Reload();
  } catch (...) {
    // Whatever the browser reports on a reload is not the user's concern; the next comes later.
  }
}

void ReloadPresenter::DisplayTick() {
  recovery_.Forget(ticks_.Now());
  Judged(media_.Check(ticks_.Now()));
  CheckHelperEnd();
  std::wstring text = schedule_.CountdownText();
  if (text != countdown_shown_) {
    view_.ShowCountdown(text);
    countdown_shown_ = std::move(text);
  }
  AlignDisplayTick();
}

}  // namespace reprisa

namespace reprisa {

std::optional<std::uint32_t> ReloadPresenter::ScheduleRecovery(Pending reason,
                                                               std::uint32_t delay_ms) noexcept {
  const std::uint32_t now = ticks_.Now();
  if (pending_ != Pending::Nothing &&
      static_cast<std::int32_t>(recovery_due_ - now) <= static_cast<std::int32_t>(delay_ms)) {
    // The page comes back sooner already.
    const auto left = static_cast<std::int32_t>(recovery_due_ - now);
    return static_cast<std::uint32_t>(left > 0 ? left : 0);
  }
  try {
    recovery_timer_.SetEnabled(false);
    // A timer of 0 ms never ticks: "at once" is the next turn of the message loop.
    recovery_timer_.SetInterval(static_cast<std::int32_t>(delay_ms > 0 ? delay_ms : 1));
    recovery_timer_.SetEnabled(true);
    pending_ = reason;
    recovery_due_ = now + delay_ms;
    return delay_ms;
  } catch (...) {
    // No timer to be had: the reload tick brings the page back.
    pending_ = Pending::Nothing;
    return std::nullopt;
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
  helper_check_ = false;
  media_.PageBroughtBack(ticks_.Now());
  try {
    view_.Recover();
  } catch (...) {
    // Whatever the engine reports is not the user's concern: a failure comes back as a report.
  }
}

void ReloadPresenter::EngineLost() noexcept { Lost("Seite verloren"); }

void ReloadPresenter::Lost(std::string_view what) noexcept {
  helper_check_ = false;
  if (const auto delay = recovery_.EngineLost(ticks_.Now())) {
    // Whatever the page's media said last, they are gone with it: no failure of theirs is
    // judged; when they were playing, the page brought back must play again.
    media_.EngineLost();
    Log(what, ScheduleRecovery(Pending::Recovery, *delay));
  } else {
    // Lost too often lately: the reload tick brings it back. The media watch goes on listening
    // to the page that stands.
    CancelRecovery();
    Log("Seite zu oft verloren", std::nullopt);
  }
}

void ReloadPresenter::HelperProcessEnded() noexcept {
  if (helper_check_ || RecoveryPending()) return;
  helper_check_ = true;
  helper_since_ = ticks_.Now();
}

void ReloadPresenter::CheckHelperEnd() noexcept {
  const std::uint32_t now = ticks_.Now();
  if (!helper_check_ || now - helper_since_ < kHelperCheckMs) return;
  helper_check_ = false;
  if (media_.HeardSince(helper_since_, now))
    LogEvent("Hilfsprozess beendet, Medien spielen weiter: Seite bleibt");
  else
    Lost("Hilfsprozess beendet, Medien ohne Fortschritt");
}

void ReloadPresenter::LoadFailed() noexcept {
  media_.LoadFailed();
  Log("Seite nicht geladen", ScheduleRecovery(Pending::Retry, recovery_.LoadFailed()));
}

void ReloadPresenter::LoadSucceeded() noexcept {
  recovery_.LoadSucceeded();
  media_.LoadSucceeded(ticks_.Now());
  if (pending_ == Pending::Retry) CancelRecovery();
}

void ReloadPresenter::MediaMessageReceived(std::string_view text) noexcept {
  if (const auto message = ParseMediaMessage(text)) Judged(media_.Report(*message, ticks_.Now()));
}

void ReloadPresenter::Judged(const MediaVerdict& verdict) noexcept {
  if (verdict.kind == MediaVerdict::Kind::Recovered) {
    LogEvent("Medien spielen wieder seit 30 s: keine weiteren Versuche");
  } else if (verdict.kind == MediaVerdict::Kind::Resumed) {
    // Heard again before the page came back: the page is left as it is. A recovery of another
    // kind (a lost engine, a failed load) still comes.
    if (pending_ != Pending::Media) return;
    CancelRecovery();
    LogEvent("Medien spielen wieder: neu laden abgesagt");
  } else if (verdict.kind == MediaVerdict::Kind::Failed) {
    const auto schedule = [&] {
      return verdict.retry ? ScheduleRecovery(Pending::Media, verdict.retry_ms) : std::nullopt;
    };
    try {
      const std::string what = "Medien: " + std::string(FailureText(verdict.failure));
      Log(what, schedule());
    } catch (...) {
      schedule();  // no memory for the line
    }
  }
}

void ReloadPresenter::Resumed() noexcept {
  CancelRecovery();
  helper_check_ = false;
  recovery_.Reloaded();
  media_.PageReplaced();
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
