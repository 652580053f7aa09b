// The main window: the address, the interval and the countdown above the embedded browser,
// and the "Hilfe" menu.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/engine_memory.h"
#include "core/error_handler.h"
#include "core/reload_presenter.h"
#include "gtk/placement_gtk.h"
#include "gtk/sleep_watch_gtk.h"
#include "gtk/timer_gtk.h"
#include "gtk/web_view_gtk.h"

namespace reprisa {

class AboutDialog;

// Where the program keeps what it keeps: the placement file, and the folders of the web
// view's site data and cache. The program passes the user's XDG folders; tests pass their own.
struct AppFolders {
  std::string placement_file;  // e.g. ~/.config/reprisa/reprisa.ini
  std::string data_dir;        // e.g. ~/.local/share/reprisa
  std::string cache_dir;       // e.g. ~/.cache/reprisa
};

// The user's folders, from GLib's XDG lookups, for an executable of the given path.
AppFolders UserAppFolders(const std::string& executable_path);

// The main window's GTK wiring: controls, layout, keys and events; its rules are the reload
// presenter's.
class MainWindow : public TObject, private ReloadView {
 public:
  // Builds the window and its controls, hidden; the timers run from here on.
  explicit MainWindow(const AppFolders& folders);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Shows the window: at the stored placement, or centred at the design size on a first run.
  void Show();
  // From now on nothing is saved, neither at a close nor at destruction (the program was told
  // to terminate).
  void DiscardPlacement();

  // What happens when the user closed the window, after the placement was saved (the program
  // ends its main loop here). The window is hidden, not destroyed, before it is called.
  std::function<void()> on_closed;
  // The About dialog "Über..." shows (may stay null: then the menu item does nothing).
  AboutDialog* about = nullptr;

  GtkWindow* Window() const noexcept { return GTK_WINDOW(window_); }
  // The browser; made after the window's first paint, or here when asked for before.
  WebHost& Web();
  ReloadPresenter& Presenter() noexcept { return *presenter_; }
  ReloadSchedule& Schedule() noexcept { return presenter_->Schedule(); }
  TTimer& ReloadTimer() noexcept { return presenter_->ReloadTimer(); }
  TTimer& DisplayTimer() noexcept { return presenter_->DisplayTimer(); }
  const AppFolders& Folders() const noexcept { return folders_; }
  GtkFormPlacement& Placement() noexcept { return *placement_; }
  // How many times a reload replaced a grown web process by a fresh one.
  int Recycles() const noexcept { return recycles_; }
  // Measures the web processes at a reload (the program's own below it; tests give theirs).
  std::function<std::optional<EngineMemoryBudget::Reading>()> read_web_memory;

  // The controls (owned by the window).
  GtkWidget* main_menu = nullptr;
  GtkWidget* help_menu = nullptr;
  GtkWidget* about_item = nullptr;
  GtkWidget* top_panel = nullptr;
  GtkWidget* button_panel = nullptr;
  GtkWidget* address_edit = nullptr;
  GtkWidget* open_address_button = nullptr;
  GtkWidget* interval_label = nullptr;
  GtkWidget* interval_edit = nullptr;
  GtkWidget* apply_interval_button = nullptr;
  GtkWidget* current_interval_edit = nullptr;
  GtkWidget* countdown_label = nullptr;
  GtkWidget* countdown_edit = nullptr;
  GtkWidget* restart_countdown_button = nullptr;
  GtkWidget* browser = nullptr;  // the web view, once made (see Web())

  // The handlers (each runs inside a guard at its GTK callback).
  void OnOpenAddressClick();
  void OnApplyIntervalClick();
  void OnRestartCountdownClick();
  void OnAboutItemClick();
  // The close request: saves the placement, hides the window and calls on_closed.
  void FormClose();

  // Whether the widget is the page or inside it (keys there belong to the page).
  bool InsidePage(GtkWidget* widget) const;

 private:
  void BuildMenu(GtkWidget* content);
  void BuildTopPanel(GtkWidget* content);
  GtkWidget* BuildIntervalRow();
  void BuildButtonPanel();
  void ConnectHandlers();

  // ReloadView
  void ShowInterval(const std::wstring& text) override;
  void ShowCountdown(const std::wstring& text) override;
  void OpenAddress(const std::wstring& address) override;
  void Reload() override;
  void Recover() override;

  static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnFirstDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
  static gboolean OnDestroyedOutside(GtkWidget* widget, GdkEvent* event, gpointer self);

  AppFolders folders_;
  GtkWidget* window_ = nullptr;
  GtkWidget* content_ = nullptr;  // the window's column: menu bar, top panel, the page
  guint web_idle_ = 0;            // the pending creation of the web view
  guint about_idle_ = 0;          // the pending showing of the About dialog
  std::unique_ptr<WebHost> web_;
  MonotonicTickSource ticks_;
  std::unique_ptr<ReloadPresenter> presenter_;
  std::unique_ptr<GtkFormPlacement> placement_;
  std::unique_ptr<SleepWatch> sleep_watch_;
  EngineMemoryBudget web_memory_;
  int recycles_ = 0;
  bool closed_ = false;
};

// The text of an entry as UTF-16, and the other way round.
std::wstring EntryText(GtkWidget* entry);
void SetEntryText(GtkWidget* entry, std::wstring_view text);

}  // namespace reprisa
