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
                                 std::unique_ptr<TimerBackend> display_backend, TickSource& ticks,
                                 LocaleSettings locale)
    : view_(view),
      reload_timer_(std::move(reload_backend)),
      display_timer_(std::move(display_backend)),
      schedule_(reload_timer_, ticks, std::move(locale)),
      countdown_shown_(texts::kInitialInterval) {
  reload_timer_.SetInterval(InitialInterval());
  reload_timer_.SetOnTimer([this] { ReloadTick(); });
  display_timer_.SetInterval(kDisplayTickInterval);
  display_timer_.SetOnTimer([this] { DisplayTick(); });
  schedule_.Stamp();
  AlignDisplayTick();
}

ReloadPresenter::~ReloadPresenter() {
  reload_timer_.SetEnabled(false);
  display_timer_.SetEnabled(false);
}

void ReloadPresenter::AlignDisplayTick() {
  display_timer_.DelayNextTick(schedule_.NextDisplayTickDelay());
}

void ReloadPresenter::OpenAddress(std::wstring_view address) {
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
  try {
    view_.Reload();
  } catch (...) {
    // Whatever the browser reports on a reload is not the user's concern; the next comes later.
  }
}

void ReloadPresenter::DisplayTick() {
  std::wstring text = schedule_.CountdownText();
  if (text != countdown_shown_) {
    view_.ShowCountdown(text);
    countdown_shown_ = std::move(text);
  }
  AlignDisplayTick();
}

}  // namespace reprisa
