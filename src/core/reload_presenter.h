// The main window's behaviour, once for both builds: the reload schedule, the reload timer and
// the countdown display's timer, and what the window's buttons, keys and ticks do with them. The
// window itself is a ReloadView: it shows texts and hosts the page, and knows no rule.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/countdown.h"
#include "core/locale_settings.h"
#include "core/timer.h"

namespace reprisa {

// What the presenter asks of the main window.
class ReloadView {
 public:
  // The interval now in force, in the current-interval field.
  virtual void ShowInterval(const std::wstring& text) = 0;
  // The time left to the next reload, in the countdown field.
  virtual void ShowCountdown(const std::wstring& text) = 0;
  // Opens the address in the browser.
  virtual void OpenAddress(const std::wstring& address) = 0;
  // Reloads the page now shown.
  virtual void Reload() = 0;

 protected:
  ~ReloadView() = default;
};

class ReloadPresenter {
 public:
  // Takes the backends of the reload and the display timer; the view and the tick source must
  // outlive the presenter. The reload timer starts with the initial interval (texts'
  // kInitialInterval, what the window's fields show at start), the display ticks every second,
  // and the first countdown starts now.
  ReloadPresenter(ReloadView& view, std::unique_ptr<TimerBackend> reload_backend,
                  std::unique_ptr<TimerBackend> display_backend, TickSource& ticks,
                  LocaleSettings locale);
  // Stops both timers before anything else goes: no tick reaches a half-destroyed window.
  ~ReloadPresenter();
  ReloadPresenter(const ReloadPresenter&) = delete;
  ReloadPresenter& operator=(const ReloadPresenter&) = delete;

  // The address text, opened as typed. The countdown keeps its phase: opening is no restart.
  void OpenAddress(std::wstring_view address);
  // Applies an interval text: a valid one sets the interval, restarts the countdown and shows
  // the interval read back; an invalid one changes nothing and shows nothing.
  void ApplyInterval(std::wstring_view text);
  // The full interval runs again from now ("Stopuhr auf 0", or Escape).
  void RestartCountdown();
  // The reload timer's tick: a new countdown starts and the page is reloaded. A refused display
  // timer only stops the countdown display, and whatever the browser reports on a reload is
  // not the user's concern (the next reload comes later): neither reaches the user.
  void ReloadTick();
  // The display timer's tick: the countdown field shows the time left when it changed.
  void DisplayTick();

  TTimer& ReloadTimer() noexcept { return reload_timer_; }
  TTimer& DisplayTimer() noexcept { return display_timer_; }
  ReloadSchedule& Schedule() noexcept { return schedule_; }

 private:
  // Re-arms the display timer so that its next tick falls half-way into a second of the
  // countdown (its Interval stays 1000); after every tick and every restart of the countdown.
  void AlignDisplayTick();

  ReloadView& view_;
  TTimer reload_timer_;
  TTimer display_timer_;
  ReloadSchedule schedule_;
  std::wstring countdown_shown_;
};

}  // namespace reprisa
