#include "gtk/main_window.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

#include "core/design_layout.h"
#include "core/event_log.h"
#include "core/exceptions.h"
#include "core/locale_settings.h"
#include "core/placement_values.h"
#include "core/texts.h"
#include "core/utf8.h"
#include "gtk/about_dialog.h"
#include "gtk/gtk_ptr.h"
#include "gtk/resources_gtk.h"
#include "gtk/web_processes_gtk.h"

namespace reprisa {

namespace {

// The design's rectangles are the natural sizes (pixels at 96 dpi; GTK scales them on a
// high-resolution screen); the gaps between them become margins and spacings.
const design::MainWindow& kDesign = design::kMainWindow;

std::string WidgetName(const design::Control& d) { return NarrowUtf8(d.name); }

void SetAccessibleName(GtkWidget* widget, std::wstring_view name) {
  if (AtkObject* acc = gtk_widget_get_accessible(widget)) {
    atk_object_set_name(acc, NarrowUtf8(name).c_str());
  }
}

GtkWidget* MakeEdit(const design::Control& d) {
  GtkWidget* e = gtk_entry_new();
  gtk_widget_set_name(e, WidgetName(d).c_str());
  gtk_widget_set_size_request(e, d.width, d.height);
  gtk_entry_set_width_chars(GTK_ENTRY(e), 1);  // the design width, not a width of characters
  gtk_entry_set_text(GTK_ENTRY(e), NarrowUtf8(d.text).c_str());
  gtk_widget_set_valign(e, GTK_ALIGN_CENTER);
  // Enter in any of the window's fields clicks the default button ("Zur Website...").
  gtk_entry_set_activates_default(GTK_ENTRY(e), TRUE);
  if (d.read_only) {
    gtk_editable_set_editable(GTK_EDITABLE(e), FALSE);
    gtk_style_context_add_class(gtk_widget_get_style_context(e), "read-only-field");
  }
  return e;
}

// A label as wide as the room up to the control after it.
GtkWidget* MakeLabel(const design::Control& d, int room) {
  GtkWidget* l = gtk_label_new(NarrowUtf8(d.text).c_str());
  gtk_widget_set_name(l, WidgetName(d).c_str());
  gtk_label_set_xalign(GTK_LABEL(l), 0.0f);
  gtk_widget_set_size_request(l, room, -1);
  return l;
}

GtkWidget* MakeButton(const design::Control& d) {
  return GlyphButton(WidgetName(d).c_str(), d.width, d.height, d.text, StockGlyph(d.kind));
}

// The focus chain of a container, in the design's tab order.
struct Focusable {
  GtkWidget* widget;
  int tab_order;
};

void SetFocusChain(GtkWidget* container, std::vector<Focusable> widgets) {
  std::stable_sort(widgets.begin(), widgets.end(), [](const Focusable& a, const Focusable& b) {
    return a.tab_order < b.tab_order;
  });
  GList* chain = nullptr;
  for (const Focusable& f : widgets) chain = g_list_append(chain, f.widget);
  // Deprecated in favour of overriding focus(), but still honoured by GTK 3 and far simpler.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_set_focus_chain(GTK_CONTAINER(container), chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(chain);
}

template <void (MainWindow::*Handler)()>
void OnSignal(GtkWidget*, gpointer self) {
  auto* window = static_cast<MainWindow*>(self);
  Guarded(window, [&] { (window->*Handler)(); });
}

}  // namespace

AppFolders UserAppFolders(const std::string& executable_path) {
  std::string name = NarrowUtf8(ExecutableBaseName(WidenUtf8(executable_path)));
  if (name.empty()) name = "reprisa";
  AppFolders folders;
  GString0 config_dir(g_build_filename(g_get_user_config_dir(), "reprisa", nullptr));
  GString0 file(g_build_filename(config_dir.get(), (name + ".ini").c_str(), nullptr));
  folders.placement_file = file.str();
  GString0 data(g_build_filename(g_get_user_data_dir(), "reprisa", nullptr));
  folders.data_dir = data.str();
  GString0 cache(g_build_filename(g_get_user_cache_dir(), "reprisa", nullptr));
  folders.cache_dir = cache.str();
  return folders;
}

std::wstring EntryText(GtkWidget* entry) {
  return WidenUtf8(gtk_entry_get_text(GTK_ENTRY(entry)));
}

void SetEntryText(GtkWidget* entry, std::wstring_view text) {
  gtk_entry_set_text(GTK_ENTRY(entry), NarrowUtf8(text).c_str());
}

MainWindow::MainWindow(const AppFolders& folders) : folders_(folders) {
  InstallProgramStyle();
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  gtk_widget_set_name(window_, NarrowUtf8(kDesign.name).c_str());
  gtk_window_set_title(GTK_WINDOW(window_), NarrowUtf8(texts::kMainCaption).c_str());
  gtk_window_set_role(GTK_WINDOW(window_), "TMainForm");
  // Ours runs before the menu bar's own key handler, which is connected when it is added.
  g_signal_connect(window_, "key-press-event", G_CALLBACK(&MainWindow::OnKeyPress), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(&MainWindow::OnDelete), this);
  // Destroyed from outside (another client destroyed the X window): closed like a close request.
  g_signal_connect(window_, "destroy-event", G_CALLBACK(&MainWindow::OnDestroyedOutside), this);

  content_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window_), content_);
  BuildMenu(content_);
  BuildTopPanel(content_);  // the page joins below it when it is made (see Web())
  ConnectHandlers();
  gtk_widget_show_all(content_);
  // The client area of the design below the menu bar.
  int menu_height = 0;
  gtk_widget_get_preferred_height(main_menu, nullptr, &menu_height);
  gtk_window_set_default_size(GTK_WINDOW(window_), kDesign.client_width,
                              kDesign.client_height + menu_height);
  gtk_widget_grab_focus(address_edit);

  placement_ = std::make_unique<GtkFormPlacement>(GTK_WINDOW(window_), folders_.placement_file,
                                                  L"reprisa");
  ReloadView& view = *this;
  presenter_ = std::make_unique<ReloadPresenter>(view, std::make_unique<GTimeoutBackend>(),
                                                 std::make_unique<GTimeoutBackend>(),
                                                 std::make_unique<GTimeoutBackend>(), ticks_,
                                                 CurrentLocaleSettings());
  read_web_memory = [] { return ReadWebProcesses(getpid()); };
  // A wake from sleep: what played is gone.
  sleep_watch_ = std::make_unique<SleepWatch>([this] { presenter_->Resumed(); });
}

MainWindow::~MainWindow() {
  // Saves only when nothing was saved since the last restore (destroyed without a close).
  placement_->HandleFormDestroy(this);
  placement_.reset();
  // The presenter stops its timers: no tick may reach a half-destroyed window; nor may the
  // engine's or the system's reports.
  sleep_watch_.reset();
  if (web_) web_->events = {};
  presenter_.reset();
  if (web_idle_ != 0) g_source_remove(web_idle_);
  if (about_idle_ != 0) g_source_remove(about_idle_);
  g_signal_handlers_disconnect_by_data(window_, this);
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

void MainWindow::BuildMenu(GtkWidget* content) {
  main_menu = gtk_menu_bar_new();
  gtk_widget_set_name(main_menu, "MainMenu1");
  help_menu = gtk_menu_item_new_with_label(NarrowUtf8(texts::kHelpMenu).c_str());
  gtk_widget_set_name(help_menu, "Hilfe1");
  GtkWidget* submenu = gtk_menu_new();
  about_item = gtk_menu_item_new_with_label(NarrowUtf8(texts::kAboutMenu).c_str());
  gtk_widget_set_name(about_item, "ber1");
  gtk_menu_shell_append(GTK_MENU_SHELL(submenu), about_item);
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(help_menu), submenu);
  gtk_menu_shell_append(GTK_MENU_SHELL(main_menu), help_menu);
  gtk_box_pack_start(GTK_BOX(content), main_menu, FALSE, FALSE, 0);
}

// The top panel: the address row (the field widens with the window) and the interval row, with
// the button panel as their right-hand column.
void MainWindow::BuildTopPanel(GtkWidget* content) {
  top_panel = gtk_grid_new();
  gtk_widget_set_name(top_panel, WidgetName(kDesign.top_panel).c_str());
  gtk_widget_set_size_request(top_panel, -1, kDesign.top_panel.height);
  gtk_box_pack_start(GTK_BOX(content), top_panel, FALSE, FALSE, 0);

  const design::Control& address = kDesign.address_edit;
  address_edit = MakeEdit(address);
  gtk_widget_set_size_request(address_edit, 100, address.height);  // narrower with the window
  gtk_widget_set_hexpand(address_edit, TRUE);
  gtk_widget_set_margin_start(address_edit, address.left);
  gtk_widget_set_margin_end(address_edit, kDesign.button_panel.left - address.right());
  gtk_widget_set_margin_top(address_edit, address.top);
  gtk_widget_set_valign(address_edit, GTK_ALIGN_START);
  gtk_grid_attach(GTK_GRID(top_panel), address_edit, 0, 0, 1, 1);

  GtkWidget* interval_row = BuildIntervalRow();
  gtk_grid_attach(GTK_GRID(top_panel), interval_row, 0, 1, 1, 1);
  BuildButtonPanel();
  gtk_grid_attach(GTK_GRID(top_panel), button_panel, 1, 0, 1, 2);

  // "Zur Website..." is the default button: Enter in a field clicks it.
  gtk_widget_set_can_default(open_address_button, TRUE);
  gtk_window_set_default(GTK_WINDOW(window_), open_address_button);

  // The interval row takes the tab order of its first field.
  SetFocusChain(top_panel, {{address_edit, address.tab_order},
                            {button_panel, kDesign.button_panel.tab_order},
                            {interval_row, kDesign.interval_edit.tab_order}});
  SetFocusChain(content, {{top_panel, kDesign.top_panel.tab_order}});

  // Names for screen readers and automation.
  SetAccessibleName(address_edit, texts::kAddressName);
  SetAccessibleName(interval_edit, texts::kIntervalLabel);
  SetAccessibleName(current_interval_edit, texts::kCurrentIntervalName);
  SetAccessibleName(countdown_edit, texts::kCountdownLabel);
  gtk_label_set_mnemonic_widget(GTK_LABEL(interval_label), interval_edit);
  gtk_label_set_mnemonic_widget(GTK_LABEL(countdown_label), countdown_edit);
}

// The interval row: its controls one beside the other, as far apart as in the design, the
// fields centred on the row's height.
GtkWidget* MainWindow::BuildIntervalRow() {
  const design::Control& field = kDesign.interval_edit;
  const design::Control& button = kDesign.apply_interval_button;
  const int spacing = button.left - field.right();
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, spacing);
  gtk_widget_set_name(row, "IntervalRow");
  gtk_widget_set_margin_start(row, kDesign.interval_label.left);
  const int row_top = field.top - (button.height - field.height) / 2;
  gtk_widget_set_margin_top(row, row_top - kDesign.address_edit.bottom());

  interval_label =
      MakeLabel(kDesign.interval_label, field.left - kDesign.interval_label.left - spacing);
  interval_edit = MakeEdit(field);
  apply_interval_button = MakeButton(button);
  current_interval_edit = MakeEdit(kDesign.current_interval_edit);
  countdown_label = MakeLabel(kDesign.countdown_label,
                              kDesign.countdown_edit.left - kDesign.countdown_label.left - spacing);
  countdown_edit = MakeEdit(kDesign.countdown_edit);
  for (GtkWidget* w : {interval_label, interval_edit, apply_interval_button,
                       current_interval_edit, countdown_label, countdown_edit}) {
    gtk_box_pack_start(GTK_BOX(row), w, FALSE, FALSE, 0);
  }
  SetFocusChain(row, {{interval_edit, field.tab_order},
                      {apply_interval_button, button.tab_order},
                      {current_interval_edit, kDesign.current_interval_edit.tab_order},
                      {countdown_edit, kDesign.countdown_edit.tab_order}});
  return row;
}

// The button panel: the right-hand column, whose buttons stay at the window's right edge.
void MainWindow::BuildButtonPanel() {
  const design::Control& open = kDesign.open_address_button;
  const design::Control& restart = kDesign.restart_countdown_button;
  button_panel = gtk_box_new(GTK_ORIENTATION_VERTICAL, restart.top - open.bottom());
  gtk_widget_set_name(button_panel, WidgetName(kDesign.button_panel).c_str());
  gtk_widget_set_margin_start(button_panel, open.left);
  gtk_widget_set_margin_end(button_panel, kDesign.button_panel.width - open.right());
  gtk_widget_set_margin_top(button_panel, open.top);
  gtk_widget_set_valign(button_panel, GTK_ALIGN_START);
  open_address_button = MakeButton(open);
  restart_countdown_button = MakeButton(restart);
  gtk_box_pack_start(GTK_BOX(button_panel), open_address_button, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(button_panel), restart_countdown_button, FALSE, FALSE, 0);
  SetFocusChain(button_panel, {{open_address_button, open.tab_order},
                               {restart_countdown_button, restart.tab_order}});
}

void MainWindow::ConnectHandlers() {
  g_signal_connect(open_address_button, "clicked",
                   G_CALLBACK(&OnSignal<&MainWindow::OnOpenAddressClick>), this);
  g_signal_connect(apply_interval_button, "clicked",
                   G_CALLBACK(&OnSignal<&MainWindow::OnApplyIntervalClick>), this);
  g_signal_connect(restart_countdown_button, "clicked",
                   G_CALLBACK(&OnSignal<&MainWindow::OnRestartCountdownClick>), this);
  g_signal_connect(about_item, "activate", G_CALLBACK(&OnSignal<&MainWindow::OnAboutItemClick>),
                   this);
}

void MainWindow::Show() {
  closed_ = false;
  GtkPlacementWindow& adapter = placement_->PlacementWindowAdapter();
  // The restore runs first (failures are reported and the window shows all the same); the
  // window centres itself only when no stored place applied, and only at its first showing.
  placement_->HandleFormShow(this);
  const bool centre = adapter.Position() == PlacementPosition::poScreenCenter;
  gtk_window_set_position(GTK_WINDOW(window_), centre ? GTK_WIN_POS_CENTER : GTK_WIN_POS_NONE);
  if (!web_ && web_idle_ == 0) {
    // The web view (its web context is the slowest part of the start) is made once the window
    // has been painted, or at the first use before that.
    g_signal_connect_after(window_, "draw", G_CALLBACK(&MainWindow::OnFirstDraw), this);
  }
  gtk_widget_show(window_);
  adapter.SetPosition(PlacementPosition::poDesigned);
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_NONE);
  gtk_widget_grab_focus(address_edit);
}

WebHost& MainWindow::Web() {
  if (!web_) {
    web_ = std::make_unique<WebHost>(folders_.data_dir, folders_.cache_dir);
    web_->events.engine_lost = [this] { presenter_->EngineLost(); };
    web_->events.load_failed = [this] { presenter_->LoadFailed(); };
    web_->events.load_succeeded = [this] { presenter_->LoadSucceeded(); };
    web_->events.media_message = [this](std::string_view message) {
      presenter_->MediaMessageReceived(message);
    };
    browser = web_->Widget();
    gtk_widget_set_hexpand(browser, TRUE);
    gtk_widget_set_vexpand(browser, TRUE);
    gtk_box_pack_start(GTK_BOX(content_), browser, TRUE, TRUE, 0);
    gtk_widget_show(browser);
    SetFocusChain(content_, {{top_panel, kDesign.top_panel.tab_order},
                             {browser, kDesign.browser.tab_order}});
  }
  return *web_;
}

gboolean MainWindow::OnFirstDraw(GtkWidget*, cairo_t*, gpointer self) {
  auto* window = static_cast<MainWindow*>(self);
  g_signal_handlers_disconnect_by_func(window->window_, reinterpret_cast<gpointer>(&OnFirstDraw),
                                       self);
  // After this frame, when the loop is idle: the web view is made while the user looks.
  window->web_idle_ = g_idle_add(
      +[](gpointer data) -> gboolean {
        auto* w = static_cast<MainWindow*>(data);
        w->web_idle_ = 0;
        Guarded(w, [&] {
          // An empty page starts the web process now rather than at the first address.
          if (!w->web_) webkit_web_view_load_uri(w->Web().View(), "about:blank");
        });
        return G_SOURCE_REMOVE;
      },
      self);
  return FALSE;
}

void MainWindow::DiscardPlacement() { placement_->SetActive(false); }

void MainWindow::OnOpenAddressClick() { presenter_->OpenAddress(EntryText(address_edit)); }

void MainWindow::OnApplyIntervalClick() { presenter_->ApplyInterval(EntryText(interval_edit)); }

// Also the Escape key's way.
void MainWindow::OnRestartCountdownClick() { presenter_->RestartCountdown(); }

void MainWindow::OnAboutItemClick() {
  // The dialog's own loop runs from an idle callback, not inside the item's activation: an item
  // activated through the accessibility bus is activated inside that bus's message dispatch,
  // which would stay blocked for the screen reader as long as the dialog is open.
  if (!about || about_idle_ != 0) return;
  about_idle_ = g_idle_add(
      +[](gpointer self) -> gboolean {
        auto* w = static_cast<MainWindow*>(self);
        w->about_idle_ = 0;
        Guarded(w, [&] { w->about->ShowModal(GTK_WINDOW(w->window_)); });
        return G_SOURCE_REMOVE;
      },
      this);
}

void MainWindow::ShowInterval(const std::wstring& text) {
  SetEntryText(current_interval_edit, text);
}

void MainWindow::ShowCountdown(const std::wstring& text) { SetEntryText(countdown_edit, text); }

void MainWindow::OpenAddress(const std::wstring& address) { Web().Navigate(address); }

void MainWindow::Reload() {
  WebHost& web = Web();
  // Left running for days, the web process grows: past its budget it is replaced at a reload,
  // which the user sees as the reload it is.
  std::optional<EngineMemoryBudget::Reading> reading;
  try {
    if (read_web_memory) reading = read_web_memory();
  } catch (...) {
    // Not measured this time: the reload still happens.
  }
  if (reading && web_memory_.ShouldReplace(*reading)) {
    ++recycles_;
    LogEvent("Web-Prozess ersetzt: sein Speicher wuchs über das Budget");
    web.Recycle();
    return;
  }
  web.Refresh();
}

void MainWindow::Recover() { Web().Recover(); }

void MainWindow::FormClose() {
  if (closed_) return;
  closed_ = true;
  bool can_close = true;
  placement_->HandleFormCloseQuery(this, can_close);
  gtk_widget_hide(window_);
  if (on_closed) on_closed();
}

bool MainWindow::InsidePage(GtkWidget* widget) const {
  return widget && browser &&
         (widget == browser || gtk_widget_is_ancestor(widget, browser));
}

gboolean MainWindow::OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self) {
  auto* window = static_cast<MainWindow*>(self);
  return Guarded(window, [&]() -> gboolean {
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
    if (window->InsidePage(focus)) {
      // Keys typed into the page are the page's, before any key binding of the window.
      return gtk_window_propagate_key_event(GTK_WINDOW(widget), event);
    }
    if (event->keyval == GDK_KEY_Escape) {
      // Escape anywhere outside the page clicks "Stopuhr auf 0".
      gtk_button_clicked(GTK_BUTTON(window->restart_countdown_button));
      return TRUE;
    }
    return FALSE;
  });
}

gboolean MainWindow::OnDestroyedOutside(GtkWidget*, GdkEvent*, gpointer self) {
  auto* window = static_cast<MainWindow*>(self);
  Guarded(window, [&] {
    window->placement_->PlacementWindowAdapter().WindowDestroyedOutside();
    window->FormClose();
  });
  return TRUE;
}

gboolean MainWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
  auto* window = static_cast<MainWindow*>(self);
  Guarded(window, [&] { window->FormClose(); });
  return TRUE;  // the window is destroyed with its object, not by the close request
}

}  // namespace reprisa
