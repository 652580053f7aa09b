#include "gtk/main_window.h"

#include "core/exceptions.h"
#include "core/locale_settings.h"
#include "core/placement_values.h"
#include "core/texts.h"
#include "gtk/about_dialog.h"
#include "gtk/gtk_ptr.h"
#include "gtk/resources_gtk.h"

namespace reprisa {

namespace {

std::string U8(std::wstring_view text) { return NarrowUtf8(text); }

// Sizes of the design (pixels at 96 dpi; GTK scales them on a high-resolution screen).
constexpr int kClientWidth = 846;
constexpr int kClientHeight = 554;
constexpr int kPanel1Height = 65;
constexpr int kPanel2Width = 174;

void SetAccessibleName(GtkWidget* widget, std::wstring_view name) {
  if (AtkObject* acc = gtk_widget_get_accessible(widget)) {
    atk_object_set_name(acc, U8(name).c_str());
  }
}

GtkWidget* MakeEdit(const char* name, int width, std::wstring_view text, bool read_only) {
  GtkWidget* e = gtk_entry_new();
  gtk_widget_set_name(e, name);
  gtk_widget_set_size_request(e, width, 21);
  gtk_entry_set_width_chars(GTK_ENTRY(e), 1);  // the design width, not a width of characters
  gtk_entry_set_text(GTK_ENTRY(e), U8(text).c_str());
  gtk_widget_set_valign(e, GTK_ALIGN_CENTER);
  // Enter in any of the window's fields clicks the default button ("Zur Website...").
  gtk_entry_set_activates_default(GTK_ENTRY(e), TRUE);
  if (read_only) {
    gtk_editable_set_editable(GTK_EDITABLE(e), FALSE);
    gtk_style_context_add_class(gtk_widget_get_style_context(e), "read-only-field");
  }
  return e;
}

GtkWidget* MakeLabel(const char* name, std::wstring_view text) {
  GtkWidget* l = gtk_label_new(U8(text).c_str());
  gtk_widget_set_name(l, name);
  gtk_label_set_xalign(GTK_LABEL(l), 0.0f);
  return l;
}

void SetFocusChain(GtkWidget* container, std::initializer_list<GtkWidget*> widgets) {
  GList* chain = nullptr;
  for (GtkWidget* w : widgets) chain = g_list_append(chain, w);
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
  std::string name = U8(ExecutableBaseName(WidenUtf8(executable_path)));
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
  gtk_entry_set_text(GTK_ENTRY(entry), U8(text).c_str());
}

MainWindow::MainWindow(const AppFolders& folders) : folders_(folders) {
  InstallProgramStyle();
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  gtk_widget_set_name(window_, "MainForm");
  gtk_window_set_title(GTK_WINDOW(window_), U8(texts::kMainCaption).c_str());
  gtk_window_set_role(GTK_WINDOW(window_), "TMainForm");
  // Ours runs before the menu bar's own key handler, which is connected when it is added.
  g_signal_connect(window_, "key-press-event", G_CALLBACK(&MainWindow::OnKeyPress), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(&MainWindow::OnDelete), this);
  // Destroyed from outside (another client destroyed the X window): closed like a close request.
  g_signal_connect(window_, "destroy-event", G_CALLBACK(&MainWindow::OnDestroyedOutside), this);

  BuildControls();
  placement_ = std::make_unique<GtkFormPlacement>(GTK_WINDOW(window_), folders_.placement_file,
                                                  L"reprisa");

  timer1_ = NewGTimer();
  timer2_ = NewGTimer();
  schedule_ = std::make_unique<ReloadSchedule>(*timer1_, ticks_, CurrentLocaleSettings());
  timer1_->SetInterval(180000);
  timer1_->SetOnTimer([this] { Timer1Timer(); });
  timer2_->SetInterval(1000);
  timer2_->SetOnTimer([this] { Timer2Timer(); });
  FormCreate();
}

MainWindow::~MainWindow() {
  // Saves only when nothing was saved since the last restore (destroyed without a close).
  placement_->HandleFormDestroy(this);
  placement_.reset();
  // The timers go first: no tick may reach a half-destroyed window.
  timer1_->SetEnabled(false);
  timer2_->SetEnabled(false);
  if (web_idle_ != 0) g_source_remove(web_idle_);
  if (about_idle_ != 0) g_source_remove(about_idle_);
  g_signal_handlers_disconnect_by_data(window_, this);
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

void MainWindow::BuildControls() {
  GtkWidget* content = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window_), content);

  MainMenu1 = gtk_menu_bar_new();
  gtk_widget_set_name(MainMenu1, "MainMenu1");
  Hilfe1 = gtk_menu_item_new_with_label(U8(texts::kHelpMenu).c_str());
  gtk_widget_set_name(Hilfe1, "Hilfe1");
  GtkWidget* help_menu = gtk_menu_new();
  ber1 = gtk_menu_item_new_with_label(U8(texts::kAboutMenu).c_str());
  gtk_widget_set_name(ber1, "ber1");
  gtk_menu_shell_append(GTK_MENU_SHELL(help_menu), ber1);
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(Hilfe1), help_menu);
  gtk_menu_shell_append(GTK_MENU_SHELL(MainMenu1), Hilfe1);
  gtk_box_pack_start(GTK_BOX(content), MainMenu1, FALSE, FALSE, 0);

  // Panel1: the address row (the field widens with the window, the button stays at the right)
  // and the interval row; Panel2 is the right-hand column of the two buttons.
  Panel1 = gtk_grid_new();
  gtk_widget_set_name(Panel1, "Panel1");
  gtk_widget_set_size_request(Panel1, -1, kPanel1Height);
  gtk_box_pack_start(GTK_BOX(content), Panel1, FALSE, FALSE, 0);

  urled = MakeEdit("urled", 100, texts::kDefaultAddress, false);
  gtk_widget_set_hexpand(urled, TRUE);
  gtk_widget_set_margin_start(urled, 8);
  gtk_widget_set_margin_end(urled, 6);
  gtk_widget_set_margin_top(urled, 8);
  gtk_widget_set_valign(urled, GTK_ALIGN_START);
  gtk_grid_attach(GTK_GRID(Panel1), urled, 0, 0, 1, 1);

  GtkWidget* row2 = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  gtk_widget_set_name(row2, "IntervalRow");
  gtk_widget_set_margin_start(row2, 8);
  gtk_widget_set_margin_top(row2, 4);
  Label1 = MakeLabel("Label1", texts::kIntervalLabel);
  gtk_widget_set_size_request(Label1, 226 - 8 - 6, -1);
  Edit1 = MakeEdit("Edit1", 71, texts::kInitialInterval, false);
  BitBtn2 = GlyphButton("BitBtn2", 122, 25, texts::kApplyInterval, Glyph::Retry);
  Edit2 = MakeEdit("Edit2", 71, texts::kInitialInterval, true);
  Label2 = MakeLabel("Label2", texts::kCountdownLabel);
  gtk_widget_set_size_request(Label2, 571 - 508 - 6, -1);
  Edit3 = MakeEdit("Edit3", 71, texts::kInitialInterval, true);
  for (GtkWidget* w : {Label1, Edit1, BitBtn2, Edit2, Label2, Edit3}) {
    gtk_box_pack_start(GTK_BOX(row2), w, FALSE, FALSE, 0);
  }
  gtk_grid_attach(GTK_GRID(Panel1), row2, 0, 1, 1, 1);

  // Panel2: the right-hand column, 174 wide, whose buttons stay at the window's right edge.
  Panel2 = gtk_box_new(GTK_ORIENTATION_VERTICAL, 34 - 3 - 25);
  gtk_widget_set_name(Panel2, "Panel2");
  gtk_widget_set_margin_start(Panel2, 8);
  gtk_widget_set_margin_end(Panel2, kPanel2Width - 8 - 153);
  gtk_widget_set_margin_top(Panel2, 3);
  gtk_widget_set_valign(Panel2, GTK_ALIGN_START);
  GotoWebsiteBtn = GlyphButton("GotoWebsiteBtn", 153, 25, texts::kGotoWebsite, Glyph::Ok);
  BitBtn3 = GlyphButton("BitBtn3", 153, 25, texts::kRestartCountdown, Glyph::Cancel);
  gtk_box_pack_start(GTK_BOX(Panel2), GotoWebsiteBtn, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(Panel2), BitBtn3, FALSE, FALSE, 0);
  gtk_grid_attach(GTK_GRID(Panel1), Panel2, 1, 0, 1, 2);

  content_ = content;  // the page joins below Panel1 when it is made (see Web())

  // "Zur Website..." is the default button: Enter in a field clicks it.
  gtk_widget_set_can_default(GotoWebsiteBtn, TRUE);
  gtk_window_set_default(GTK_WINDOW(window_), GotoWebsiteBtn);

  // Tab order: the address, the two right-hand buttons, the interval row, then the page.
  SetFocusChain(Panel1, {urled, Panel2, row2});
  SetFocusChain(Panel2, {GotoWebsiteBtn, BitBtn3});
  SetFocusChain(row2, {Edit1, BitBtn2, Edit2, Edit3});
  SetFocusChain(content, {Panel1});

  // Names for screen readers and automation.
  SetAccessibleName(urled, L"Adresse");
  SetAccessibleName(Edit1, texts::kIntervalLabel);
  SetAccessibleName(Edit2, L"Aktuelles Intervall");
  SetAccessibleName(Edit3, texts::kCountdownLabel);
  gtk_label_set_mnemonic_widget(GTK_LABEL(Label1), Edit1);
  gtk_label_set_mnemonic_widget(GTK_LABEL(Label2), Edit3);

  g_signal_connect(GotoWebsiteBtn, "clicked", G_CALLBACK(&OnSignal<&MainWindow::GotoWebsiteBtnClick>),
                   this);
  g_signal_connect(BitBtn2, "clicked", G_CALLBACK(&OnSignal<&MainWindow::BitBtn2Click>), this);
  g_signal_connect(BitBtn3, "clicked", G_CALLBACK(&OnSignal<&MainWindow::BitBtn3Click>), this);
  g_signal_connect(ber1, "activate", G_CALLBACK(&OnSignal<&MainWindow::ber1Click>), this);

  gtk_widget_show_all(content);
  // The client area of the design below the menu bar.
  int menu_height = 0;
  gtk_widget_get_preferred_height(MainMenu1, nullptr, &menu_height);
  gtk_window_set_default_size(GTK_WINDOW(window_), kClientWidth, kClientHeight + menu_height);
  gtk_widget_grab_focus(urled);
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
  gtk_widget_grab_focus(urled);
}

WebHost& MainWindow::Web() {
  if (!web_) {
    web_ = std::make_unique<WebHost>(folders_.data_dir, folders_.cache_dir);
    WebBrowser1 = web_->Widget();
    gtk_widget_set_hexpand(WebBrowser1, TRUE);
    gtk_widget_set_vexpand(WebBrowser1, TRUE);
    gtk_box_pack_start(GTK_BOX(content_), WebBrowser1, TRUE, TRUE, 0);
    gtk_widget_show(WebBrowser1);
    SetFocusChain(content_, {Panel1, WebBrowser1});
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

void MainWindow::AlignCountdownTick() {
  timer2_->DelayNextTick(schedule_->NextDisplayTickDelay());
}

void MainWindow::FormCreate() {
  schedule_->Stamp();
  AlignCountdownTick();
}

void MainWindow::GotoWebsiteBtnClick() {
  // The countdown keeps its phase: opening an address is no restart.
  Web().Navigate(gtk_entry_get_text(GTK_ENTRY(urled)));
}

void MainWindow::BitBtn2Click() {
  try {
    SetEntryText(Edit2, schedule_->ApplyIntervalText(EntryText(Edit1)));
    AlignCountdownTick();
  } catch (...) {
    // An invalid interval text changes nothing and shows nothing.
  }
}

// Also the Escape key's way.
void MainWindow::BitBtn3Click() {
  schedule_->RestartCountdown();
  AlignCountdownTick();
}

void MainWindow::Timer1Timer() {
  try {
    schedule_->NoteReload();
    AlignCountdownTick();
  } catch (...) {
    // A refused timer stops the countdown display; the reload itself still happens.
  }
  try {
    Web().Refresh();
  } catch (...) {
    // Whatever the browser reports on a reload is not the user's concern; the next comes later.
  }
}

void MainWindow::Timer2Timer() {
  std::wstring text = schedule_->CountdownText();
  if (text != EntryText(Edit3)) SetEntryText(Edit3, text);
  AlignCountdownTick();
}

void MainWindow::ber1Click() {
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

void MainWindow::FormClose() {
  if (closed_) return;
  closed_ = true;
  bool can_close = true;
  placement_->HandleFormCloseQuery(this, can_close);
  gtk_widget_hide(window_);
  if (on_closed) on_closed();
}

bool MainWindow::InsidePage(GtkWidget* widget) const {
  return widget && WebBrowser1 &&
         (widget == WebBrowser1 || gtk_widget_is_ancestor(widget, WebBrowser1));
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
      gtk_button_clicked(GTK_BUTTON(window->BitBtn3));
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
