// The main window's behaviour, once for both builds: the reload schedule, the reload timer and
// the countdown display's timer, and what the window's buttons, keys and ticks do with them. The
// window itself is a ReloadView: it shows texts and hosts the page, and knows no rule.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/countdown.h"
#include "core/locale_settings.h"
#include "core/media_watch.h"
#include "core/page_recovery.h"
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
  // Brings the page back after its engine was lost, its load failed or its media failed: opens
  // again the address the page showed (or was last asked to show), on a new engine when the old
  // one is gone.
  virtual void Recover() = 0;

 protected:
  ~ReloadView() = default;
};

class ReloadPresenter {
 public:
  // Takes the backends of the reload timer, the display timer and the timer that brings a lost
  // page back; the view and the tick source must outlive the presenter. The reload timer starts with the initial interval (texts'
  // kInitialInterval, what the window's fields show at start), the display ticks every second,
  // and the first countdown starts now.
  ReloadPresenter(ReloadView& view, std::unique_ptr<TimerBackend> reload_backend,
                  std::unique_ptr<TimerBackend> display_backend,
                  std::unique_ptr<TimerBackend> recovery_backend, TickSource& ticks,
                  LocaleSettings locale);
  // Stops the timers before anything else goes: no tick reaches a half-destroyed window.
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

  // What the engine reports between two reloads. None of them touches the countdown, and none
  // raises: they come from the engine's callbacks. The page is brought back (view's Recover) from
  // the recovery timer's tick, never inside the report.
  // The page's engine ended: the page comes back at once, later when it was lost again lately,
  // and only with the next reload tick when it was lost too often (PageRecovery).
  void EngineLost() noexcept;
  // A process the page's sound or pictures may depend on ended (a frame's renderer, the GPU
  // process, a utility process such as the audio service) while the page itself stands: when its
  // media make progress within kHelperCheckMs the page is left alone (the log says so), otherwise
  // it is brought back as after a lost engine. The display tick judges; an end during the check
  // changes nothing, nor one while the page waits to be brought back anyway.
  void HelperProcessEnded() noexcept;
  // The script reports an element's time at most every 5 s: a second more to hear it.
  static constexpr std::uint32_t kHelperCheckMs = 6000;
  // The page itself could not be loaded: it is tried again after growing pauses until it loads or
  // the next reload tick comes.
  void LoadFailed() noexcept;
  // The page loaded: a retry of its load still waiting is dropped, and the pauses start over. A
  // retry for its media stays: the media failed on a page that had loaded.
  void LoadSucceeded() noexcept;
  // The computer woke from sleep: what played is gone, so the page is reloaded at once and the
  // countdown starts again.
  void Resumed() noexcept;
  // A message on the page's media channel, as the engine handed it over (anything a page posts
  // there too). When the page's media failed (MediaWatch), the page is brought back after the
  // watch's pause, or left to the reload tick; when the page is heard again before, the retry
  // still waiting for its media is called off. The display timer's tick judges the time.
  void MediaMessageReceived(std::string_view text) noexcept;
  // Whether the page is waiting to be brought back (a recovery or a retry is due).
  bool RecoveryPending() const noexcept { return pending_ != Pending::Nothing; }

  TTimer& ReloadTimer() noexcept { return reload_timer_; }
  TTimer& DisplayTimer() noexcept { return display_timer_; }
  TTimer& RecoveryTimer() noexcept { return recovery_timer_; }
  ReloadSchedule& Schedule() noexcept { return schedule_; }

 private:
  // Re-arms the display timer so that its next tick falls half-way into a second of the
  // countdown (its Interval stays 1000); after every tick and every restart of the countdown.
  void AlignDisplayTick();

  // Why the page waits to be brought back: its engine was lost, its load failed, its media failed.
  enum class Pending { Nothing, Recovery, Retry, Media };  // not "None": X11 defines it
  // Arms the recovery timer for `delay_ms` from now, unless one already due comes sooner. Returns
  // when the page comes back (ms from now), or nothing when no timer could be had.
  std::optional<std::uint32_t> ScheduleRecovery(Pending reason, std::uint32_t delay_ms) noexcept;
  void CancelRecovery() noexcept;
  void RecoveryTick();
  // The page was lost (`what` for the log), or a helper's end left it silent.
  void Lost(std::string_view what) noexcept;
  // Judges a helper's end once its check is due.
  void CheckHelperEnd() noexcept;
  // Acts on what the media watch concluded.
  void Judged(const MediaVerdict& verdict) noexcept;

  ReloadView& view_;
  TickSource& ticks_;
  TTimer reload_timer_;
  TTimer display_timer_;
  TTimer recovery_timer_;
  ReloadSchedule schedule_;
  std::wstring countdown_shown_;
  PageRecovery recovery_;
  MediaWatch media_;
  Pending pending_ = Pending::Nothing;
  std::uint32_t recovery_due_ = 0;  // tick count at which the pending recovery is due
  bool helper_check_ = false;       // a helper process ended at helper_since_
  std::uint32_t helper_since_ = 0;
};

}  // namespace reprisa
