// The rules of a browser component with two engines: a modern web view that is created
// asynchronously and may fail or go away, and the browser control as the fallback that is
// always there. The host asks the rules what to do for each operation and each answer; the
// rules keep the engine in use and the address asked for last.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace reprisa {

enum class EngineState {
  Undecided,  // nothing tried yet
  Creating,   // the web view is being created; operations wait for it
  WebView,    // the web view is in use
  Lost,       // the web view's browser process ended; the next operation creates it anew
  Control,    // the browser control is in use, for the rest of the run
  Closed,     // the component is going; late answers are thrown away
};

// What the host does next. At most one of start/fallback/reload/refuse/discard is set; `open`
// goes with fallback (open it in the control just made) or stands alone.
struct EngineStep {
  bool start = false;     // create the web view (again): environment, then controller
  bool fallback = false;  // give the web view up: make the browser control and use it
  bool reload = false;    // reload in the engine in use
  bool refuse = false;    // the operation cannot be done now: report it as failed
  bool discard = false;   // an answer nobody waits for any more: close and release it
  bool lost = false;      // making the web view anew failed: the engine is lost again, report it
  std::optional<std::wstring> open;  // open this address in the engine in use
  friend bool operator==(const EngineStep&, const EngineStep&) = default;
};

// What became of a page load, as far as the retries care: it loaded, it failed in a way that a
// later try may mend (no connection, a time-out, a server error), or neither (stopped, replaced by
// another load, refused for good).
enum class LoadOutcome { Loaded, Failed, Other };

class EngineLifecycle {
 public:
  EngineState State() const noexcept { return state_; }
  // The creation attempt now running (or last run); answers and timeouts carry it.
  std::uint32_t Attempt() const noexcept { return attempt_; }
  const std::optional<std::wstring>& LastAddress() const noexcept { return last_; }

  // The choice, made once: a runtime was found, or not.
  EngineStep Begin(bool runtime_found);
  EngineStep Navigate(std::wstring address);
  EngineStep Reload();
  // The controller of attempt `attempt` is there.
  EngineStep Created(std::uint32_t attempt);
  // Attempt `attempt` failed: any failure or no answer in time.
  EngineStep Failed(std::uint32_t attempt);
  // The web view's browser process ended: the web view is closed for good.
  EngineStep BrowserProcessEnded();
  // A page load ended, at `address`: the page the engine shows now. A load that failed stays
  // failed until one loads: a report of neither kind after it (the engine reports its own
  // failure to show the error page after a server's error) shows no page.
  void LoadFinished(std::wstring address, LoadOutcome outcome);
  // Brings the page back after a loss or a failed load: a lost web view is made anew (and then
  // opens the page), a failed page is opened again, any other is reloaded.
  EngineStep Recover();
  // The reload tick after a failed load opens the failed page again too, in either engine: the
  // control would reload its own error page, and a web view whose load was stopped for want of an
  // answer still shows the page before it.
  // The address a new web view or a retry opens: the page shown last, else the one asked for.
  const std::optional<std::wstring>& PageAddress() const noexcept {
    return shown_ ? shown_ : last_;
  }

  // Making the web view anew after a loss may fail this often in a row (each failure a loss of
  // its own, brought back after the presenter's pause) before the control takes over: the first
  // try and three more.
  static constexpr unsigned kFailedRecreationsBeforeControl = 4;
  void Close() noexcept { state_ = EngineState::Closed; }

 private:
  EngineStep StartAttempt();
  // Shows the page again: a reload, or after a failed load the failed page opened anew; a lost
  // web view is made anew. A reload asked for while no engine can take it is refused.
  EngineStep Again(bool recovering);

  EngineState state_ = EngineState::Undecided;
  std::uint32_t attempt_ = 0;
  std::optional<std::wstring> last_;
  std::optional<std::wstring> shown_;  // where the last load ended, since the last Navigate
  bool load_failed_ = false;
  bool recreating_ = false;            // the attempt running makes the web view anew
  unsigned failed_recreations_ = 0;    // in a row
};

// The web view's render process reported as not answering. The runtime repeats the report every
// few seconds while the process hangs; reports no further apart than kEpisodeGapMs are one
// episode. A process still reported hung kHungMs after an episode began has hung for good: its
// web view is closed and made anew (a reload would go to the same process). One report alone is a
// process briefly busy, and nothing is done. Times are tick counts in milliseconds.
class HangWatch {
 public:
  static constexpr std::uint32_t kHungMs = 5000;
  static constexpr std::uint32_t kEpisodeGapMs = 10000;

  // A report at `now`: true when it is the first of an episode (the caller asks Hung again
  // kHungMs later); after any other report the caller asks Hung at once.
  bool Reported(std::uint32_t now) noexcept;
  // Whether the process counts as hung at `now`: reported again since its episode began, at least
  // kHungMs ago, and lately (within half that time) still.
  bool Hung(std::uint32_t now) const noexcept;
  void Reset() noexcept { reports_ = 0; }

 private:
  std::uint32_t first_ = 0, last_ = 0;
  unsigned reports_ = 0;
};

// The web view's navigation-completed report: its success flag, its web error status and the
// HTTP status (0 when unknown).
LoadOutcome WebViewLoadOutcome(bool success, int web_error_status, int http_status);
// The browser control's navigation-error report: an HTTP status or a failure code.
LoadOutcome ControlErrorOutcome(long status);

// How an address relates to the one a web view shows, as its engine tells a navigation within the
// document from a load: an address with a fragment ("#...") whose document (the address before the
// fragment) is the one shown is opened within that document, without loading it again: the very
// address shown (the engine only moves to its fragment) or another fragment (it moves there).
// Documents are compared as the engine writes addresses: the scheme and host in any case, the
// default port and an empty path left out.
enum class SameDocument { No, SameAddress, OtherFragment };
SameDocument SameDocumentAs(std::wstring_view address, std::wstring_view shown);

// Keys the web view reports before the page gets them (its accelerator event), and what the
// window's menu bar makes of them, as the system does for keys that reach the window: F10 opens
// the menu bar, Alt pressed and released alone too, Alt with a menu's mnemonic opens that menu.
// Every other key is the page's.
enum class KeyEventKind { KeyDown = 0, KeyUp = 1, SystemKeyDown = 2, SystemKeyUp = 3 };

inline constexpr unsigned kKeyAlt = 0x12;
inline constexpr unsigned kKeyLeftAlt = 0xA4;
inline constexpr unsigned kKeyRightAlt = 0xA5;
inline constexpr unsigned kKeyF10 = 0x79;

struct MenuKeyStep {
  bool handled = false;      // the page does not get the key
  bool open_menu = false;    // open the menu bar
  wchar_t mnemonic = 0;      // ... at the menu with this mnemonic (lower case), or 0 for the bar
  friend bool operator==(const MenuKeyStep&, const MenuKeyStep&) = default;
};

class MenuKeys {
 public:
  // `key` is a virtual-key code; `shift_or_ctrl` whether Shift or Ctrl is held; `mnemonics` the
  // menu bar's mnemonics as upper-case letters or digits.
  MenuKeyStep Key(KeyEventKind kind, unsigned key, bool shift_or_ctrl,
                  std::wstring_view mnemonics);

 private:
  bool alt_alone_ = false;  // Alt is down and nothing else was pressed since
};

// The mnemonic of a menu caption: the character after the first single "&" ("&&" is a literal
// ampersand), upper-cased for letters; 0 when it has none.
wchar_t MenuMnemonic(std::wstring_view caption);

}  // namespace reprisa
