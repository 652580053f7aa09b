// The main window in-process: its controls and texts, tab order, keys, the interval, the
// countdown, the reload of the page now shown and the page's return after its web process ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/design_layout.h"
#include "core/exceptions.h"
#include "core/utf8.h"
#include "gtk/main_window.h"
#include "gtk_test_support.h"
#include "support/scoped_error_handler.h"

namespace reprisa {
namespace {

using testing_gtk::PressKey;
using testing_gtk::PumpUntil;
using testing_gtk::ScratchDir;

std::string Text(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }
std::string Caption(GtkWidget* widget) {
  if (GTK_IS_ENTRY(widget)) return Text(widget);
  if (GTK_IS_BUTTON(widget)) return gtk_button_get_label(GTK_BUTTON(widget));
  if (GTK_IS_MENU_ITEM(widget)) return gtk_menu_item_get_label(GTK_MENU_ITEM(widget));
  if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
  return "";
}
std::string AccessibleName(GtkWidget* widget) {
  const char* name = atk_object_get_name(gtk_widget_get_accessible(widget));
  return name ? name : "";
}
// The background colour the style gives a widget, as "r,g,b".
std::string Background(GtkWidget* widget) {
  GtkStyleContext* style = gtk_widget_get_style_context(widget);
  GdkRGBA* rgba = nullptr;
  gtk_style_context_get(style, gtk_style_context_get_state(style), "background-color", &rgba,
                        nullptr);
  const std::string rgb = std::to_string(std::lround(rgba->red * 255)) + "," +
                          std::to_string(std::lround(rgba->green * 255)) + "," +
                          std::to_string(std::lround(rgba->blue * 255));
  gdk_rgba_free(rgba);
  return rgb;
}

// The main window's controls as the user sees them, one row each, for each control of the design.
// The rectangles are in the client area below the menu bar. Where they depend on the font (the
// labels' widths, and so the places of the controls after them; the interval row's height), they
// are those of DejaVu Sans Condensed (fonts-dejavu-extra), which main() pins through
// tests/gtk/fonts.conf; with DejaVu Sans in its place the interval row is 21 pixels wider.
struct Row {
  GtkWidget* MainWindow::*widget;
  const design::Control& design;
  int x, y, width, height;
  const char* caption;     // a field's text, a button's or label's caption
  const char* accessible;  // the name screen readers read, where it is not the caption
  int tab;                 // -1: Tab passes it by
  bool read_only;          // and on silver
};
const design::MainWindow& kDesign = design::kMainWindow;
const Row kRows[] = {
    {&MainWindow::top_panel, kDesign.top_panel, 0, 0, 846, 65, "", nullptr, -1, false},
    {&MainWindow::browser, kDesign.browser, 0, 65, 846, 489, "", nullptr, 7, false},
    {&MainWindow::button_panel, kDesign.button_panel, 680, 3, 153, 56, "", nullptr, -1, false},
    {&MainWindow::open_address_button, kDesign.open_address_button, 680, 3, 153, 25,
     "Zur Website...", nullptr, 1, false},
    {&MainWindow::restart_countdown_button, kDesign.restart_countdown_button, 680, 34, 153, 25,
     "Stopuhr auf 0", nullptr, 2, false},
    {&MainWindow::address_edit, kDesign.address_edit, 8, 8, 658, 21,
     "https://www.youtube.com/", "Adresse", 0, false},
    {&MainWindow::interval_label, kDesign.interval_label, 8, 33, 212, 26,
     "Wiederholung starten nach Min:Sekunden:", nullptr, -1, false},
    {&MainWindow::interval_edit, kDesign.interval_edit, 226, 35, 71, 21, "03:00",
     "Wiederholung starten nach Min:Sekunden:", 3, false},
    {&MainWindow::apply_interval_button, kDesign.apply_interval_button, 303, 33, 122, 26,
     "Wert setzen", nullptr, 4, false},
    {&MainWindow::current_interval_edit, kDesign.current_interval_edit, 431, 35, 71, 21, "03:00",
     "Aktuelles Intervall", 5, true},
    {&MainWindow::countdown_label, kDesign.countdown_label, 508, 33, 57, 26, "Neustart in:",
     nullptr, -1, false},
    {&MainWindow::countdown_edit, kDesign.countdown_edit, 571, 35, 71, 21, "03:00",
     "Neustart in:", 6, true},
};

class MainWindowTest : public ::testing::Test {
 protected:
  void TearDown() override { window.reset(); }

  // Shows the window and waits until the web view it makes after the first paint has finished
  // loading its empty page; from then on the loads are counted.
  void ShowAndSettle() {
    window->Show();
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(window->Window())); }));
    // The window the user types in has the keyboard focus (with no window manager, the screen
    // gives it to whatever window is under the pointer unless asked).
    gdk_window_focus(gtk_widget_get_window(GTK_WIDGET(window->Window())), GDK_CURRENT_TIME);
    PumpUntil([&] { return gtk_window_is_active(window->Window()); }, 2000);
    ASSERT_TRUE(PumpUntil([&] { return window->browser != nullptr; }));
    CountLoads();
    ASSERT_TRUE(PumpUntil([&] { return !loaded.empty(); }, 10000)) << "no page loaded";
    EXPECT_EQ(loaded, std::vector<std::string>{"about:blank"});
    loads = 0;
    loaded.clear();
  }
  // A page of our own in the scratch folder.
  std::string Page(const std::string& name, const std::string& body) {
    std::ofstream(dir / name) << "<html><body>" << body << "</body></html>";
    return "file://" + (dir / name);
  }
  // Counts the pages the web view finished loading, and notes each one's address.
  void CountLoads() {
    g_signal_connect(window->Web().View(), "load-changed",
                     G_CALLBACK(+[](WebKitWebView* view, WebKitLoadEvent e, gpointer self) {
                       if (e != WEBKIT_LOAD_FINISHED) return;
                       auto* test = static_cast<MainWindowTest*>(self);
                       ++test->loads;
                       const char* uri = webkit_web_view_get_uri(view);
                       test->loaded.push_back(uri ? uri : "");
                     }),
                     this);
  }
  // The pages loaded before a sentinel page that the test opens now: loads come in the order
  // they were asked for, so once the sentinel is in, none asked for earlier is still to come.
  std::vector<std::string> LoadsBeforeSentinel() {
    const std::string sentinel = Page("sentinel.html", "sentinel");
    webkit_web_view_load_uri(window->Web().View(), sentinel.c_str());
    EXPECT_TRUE(PumpUntil([&] { return !loaded.empty() && loaded.back() == sentinel; }, 10000));
    return {loaded.begin(), loaded.end() - (loaded.empty() ? 0 : 1)};
  }
  // Opens `address` as the user does and waits until `count` pages have loaded.
  void Open(const std::string& address, int count) {
    gtk_entry_set_text(GTK_ENTRY(window->address_edit), address.c_str());
    gtk_button_clicked(GTK_BUTTON(window->open_address_button));
    ASSERT_TRUE(PumpUntil([&] { return loads == count; }));
  }
  void ApplyInterval(const char* typed) {
    gtk_entry_set_text(GTK_ENTRY(window->interval_edit), typed);
    gtk_button_clicked(GTK_BUTTON(window->apply_interval_button));
  }
  GtkWidget* Focus() { return gtk_window_get_focus(window->Window()); }
  // x, y, width and height in the client area below the menu bar.
  std::vector<int> Place(GtkWidget* widget) {
    int x = -1, y = -1;
    gtk_widget_translate_coordinates(widget, window->top_panel, 0, 0, &x, &y);
    return {x, y, gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget)};
  }
  GtkWidget* Widget(const Row& row) { return window.get()->*row.widget; }

  ScratchDir dir;
  std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(
      AppFolders{dir / "config/reprisa.ini", dir / "data", dir / "cache"});
  int loads = 0;
  std::vector<std::string> loaded;
};

TEST_F(MainWindowTest, ControlsCarryTheirTextsAndNames) {
  MainWindow& w = *window;
  EXPECT_EQ(gtk_window_get_title(w.Window()),
            std::string("Velmora Reprisa " REPRISA_VERSION_SHORT));
  EXPECT_EQ(Caption(w.help_menu), "Hilfe");
  EXPECT_EQ(Caption(w.about_item), "\u00DCber...");
  for (const Row& row : kRows) {
    GtkWidget* widget = Widget(row);
    if (!widget) continue;  // the web view is made later
    const std::string name = gtk_widget_get_name(widget);
    EXPECT_EQ(name, NarrowUtf8(row.design.name));  // the style sheet finds it by this name
    EXPECT_EQ(Caption(widget), row.caption) << name;
    if (row.accessible) {
      EXPECT_EQ(AccessibleName(widget), row.accessible) << name;
    }
    if (!GTK_IS_ENTRY(widget)) continue;
    EXPECT_NE(gtk_editable_get_editable(GTK_EDITABLE(widget)), row.read_only) << name;
    EXPECT_EQ(Background(widget) == "192,192,192", row.read_only)
        << name << " is on " << Background(widget);
  }
  EXPECT_EQ(w.ReloadTimer().Interval(), 180000);
  EXPECT_TRUE(w.ReloadTimer().Running());
  EXPECT_EQ(w.DisplayTimer().Interval(), 1000);
  EXPECT_TRUE(w.DisplayTimer().Running());
  // Nothing is loaded at start: the address waits for the user.
  EXPECT_EQ(webkit_web_view_get_uri(w.Web().View()), nullptr);
}

TEST_F(MainWindowTest, OpensWithTheDesignLayoutAndTheAddressFocused) {
  ShowAndSettle();
  int width = 0, height = 0;
  gtk_window_get_size(window->Window(), &width, &height);
  EXPECT_EQ(width, 846);
  GtkAllocation menu;
  gtk_widget_get_allocation(window->main_menu, &menu);
  EXPECT_EQ(height - menu.height, 554);  // the client area below the menu bar
  for (const Row& row : kRows)
    EXPECT_EQ(Place(Widget(row)), (std::vector<int>{row.x, row.y, row.width, row.height}))
        << NarrowUtf8(row.design.name);
  EXPECT_EQ(Focus(), window->address_edit);
}

TEST_F(MainWindowTest, TabVisitsTheControlsInTheirOrder) {
  ShowAndSettle();
  auto at = [](int tab) {
    return std::find_if(std::begin(kRows), std::end(kRows),
                        [&](const Row& r) { return r.tab == tab; });
  };
  ASSERT_EQ(Focus(), Widget(*at(0)));
  for (int tab = 1; at(tab) != std::end(kRows); ++tab) {
    PressKey(GTK_WIDGET(window->Window()), GDK_KEY_Tab);
    EXPECT_EQ(Focus(), Widget(*at(tab)))
        << "Tab " << tab << " went to " << (Focus() ? gtk_widget_get_name(Focus()) : "(none)");
    gtk_widget_grab_focus(Widget(*at(tab)));  // go on from the expected one after a miss
  }
}

TEST_F(MainWindowTest, WideningTheWindowWidensTheAddressOnly) {
  ShowAndSettle();
  gtk_window_resize(window->Window(), 1046, 600);  // 200 pixels wider
  EXPECT_TRUE(PumpUntil([&] { return Place(window->address_edit)[2] == 858; }));
  EXPECT_EQ(Place(window->address_edit), (std::vector<int>{8, 8, 858, 21}));
  EXPECT_EQ(Place(window->open_address_button), (std::vector<int>{880, 3, 153, 25}));
  EXPECT_EQ(Place(window->restart_countdown_button), (std::vector<int>{880, 34, 153, 25}));
  EXPECT_EQ(Place(window->interval_edit), (std::vector<int>{226, 35, 71, 21}));
}

TEST_F(MainWindowTest, EnterInTheAddressOrIntervalFieldOpensTheAddress) {
  ShowAndSettle();
  for (GtkWidget* field : {window->address_edit, window->interval_edit}) {
    loads = 0;
    loaded.clear();
    const std::string page = Page(std::string("enter-") + gtk_widget_get_name(field) + ".html",
                                  gtk_widget_get_name(field));
    gtk_entry_set_text(GTK_ENTRY(window->address_edit), page.c_str());
    gtk_entry_set_text(GTK_ENTRY(window->interval_edit), "00:07");
    gtk_widget_grab_focus(field);
    PressKey(GTK_WIDGET(window->Window()), GDK_KEY_Return);
    ASSERT_TRUE(PumpUntil([&] { return loads > 0; })) << gtk_widget_get_name(field);
    EXPECT_EQ(loaded.front(), page);
    EXPECT_EQ(LoadsBeforeSentinel(), std::vector<std::string>{page}) << "opened once";
    // Enter opened the address; it did not apply the interval.
    EXPECT_EQ(Text(window->current_interval_edit), "03:00");
    EXPECT_EQ(window->ReloadTimer().Interval(), 180000);
  }
}

TEST_F(MainWindowTest, EscapeOutsideThePageRestartsTheCountdown) {
  ShowAndSettle();
  MainWindow& w = *window;
  for (GtkWidget* focus : {w.address_edit, w.interval_edit, w.apply_interval_button,
                           w.countdown_edit, w.open_address_button}) {
    w.Schedule().SetLastTimer(12345);
    gtk_widget_grab_focus(focus);
    PressKey(GTK_WIDGET(w.Window()), GDK_KEY_Escape);
    EXPECT_NE(w.Schedule().LastTimer(), 12345u) << gtk_widget_get_name(focus);
  }
  // Inside the page the key is the page's.
  gtk_widget_grab_focus(w.browser);
  ASSERT_EQ(Focus(), w.browser);
  w.Schedule().SetLastTimer(12345);
  PressKey(GTK_WIDGET(w.Window()), GDK_KEY_Escape);  // handled before PressKey returns
  EXPECT_EQ(w.Schedule().LastTimer(), 12345u);
}

// Which texts are taken is the presenter's rule (tests/core); here: the button reads the interval
// field and the current-interval field shows what was taken.
TEST_F(MainWindowTest, ApplyIntervalReadsTheFieldAndShowsTheIntervalTaken) {
  for (const char* typed : {" 4 : 30 ", "xyz"}) {  // the second is refused: the first stays
    ApplyInterval(typed);
    EXPECT_EQ(Text(window->current_interval_edit), "04:30") << typed;
    EXPECT_EQ(window->ReloadTimer().Interval(), 270000) << typed;
  }
}

TEST_F(MainWindowTest, CountdownShowsEverySecondOnceFromHalfASecondOn) {
  ShowAndSettle();
  struct Log {
    gint64 start = 0;
    std::vector<std::pair<std::string, gint64>> shown;  // each text, and when since the restart
  } log;
  g_signal_connect(window->countdown_edit, "changed",
                   G_CALLBACK(+[](GtkEditable* e, gpointer data) {
                     auto* log = static_cast<Log*>(data);
                     log->shown.emplace_back(gtk_entry_get_text(GTK_ENTRY(e)),
                                             (g_get_monotonic_time() - log->start) / 1000);
                   }),
                   &log);
  log.start = g_get_monotonic_time();
  ApplyInterval("04:30");
  ASSERT_TRUE(PumpUntil([&] { return log.shown.size() >= 3; }, 4000));
  // The display ticks half-way between second boundaries: the first one about 0.5 s after the
  // restart, then one per second, none skipped and none repeated.
  std::vector<std::string> texts;
  for (const auto& [text, at_ms] : log.shown) texts.push_back(text);
  EXPECT_EQ(texts, (std::vector<std::string>{"04:29", "04:28", "04:27"}));
  EXPECT_GE(log.shown[0].second, 350);  // in ms
  EXPECT_LE(log.shown[0].second, 800);
  for (std::size_t i = 1; i < log.shown.size(); ++i) {
    const gint64 gap = log.shown[i].second - log.shown[i - 1].second;
    EXPECT_GE(gap, 700) << "tick " << i;
    EXPECT_LE(gap, 1300) << "tick " << i;
  }
}

TEST_F(MainWindowTest, ReloadTickReloadsThePageNowShownEvenAfterALink) {
  ShowAndSettle();
  const std::string second = Page("second.html", "second page");
  const std::string first = Page("first.html", "<a id='l' href='second.html'>next</a>");
  Open(first, 1);
  // The user follows the link: the reload must restart the linked page, not the address typed.
  webkit_web_view_evaluate_javascript(window->Web().View(), "document.getElementById('l').click()",
                                      -1, nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return loads == 2; }));
  ASSERT_EQ(webkit_web_view_get_uri(window->Web().View()), second);
  window->Presenter().ReloadTick();
  ASSERT_TRUE(PumpUntil([&] { return loads == 3; }));
  EXPECT_EQ(webkit_web_view_get_uri(window->Web().View()), second);
}

TEST_F(MainWindowTest, ReloadTicksComeAtTheSetInterval) {
  ShowAndSettle();
  Open(Page("tick.html", "tick"), 1);
  ApplyInterval("00:01");
  const gint64 start = g_get_monotonic_time();
  ASSERT_TRUE(PumpUntil([&] { return loads == 3; }, 6000));
  const gint64 elapsed_ms = (g_get_monotonic_time() - start) / 1000;
  EXPECT_GE(elapsed_ms, 1900);
  EXPECT_LE(elapsed_ms, 3500);
}

TEST_F(MainWindowTest, TheNextTickBringsThePageBackAfterItsWebProcessEnded) {
  ShowAndSettle();
  const std::string page = Page("crash.html", "still here");
  Open(page, 1);
  webkit_web_view_terminate_web_process(window->Web().View());
  ASSERT_TRUE(PumpUntil([&] { return window->Web().WebProcessEnded(); }));
  window->Presenter().ReloadTick();
  ASSERT_TRUE(PumpUntil([&] { return loads == 2; }, 10000));
  EXPECT_EQ(webkit_web_view_get_uri(window->Web().View()), page);
  EXPECT_FALSE(window->Web().WebProcessEnded());
}

TEST_F(MainWindowTest, ReloadBeforeAnyPageShowsNothingAndFailsNothing) {
  int errors = 0;
  testing_support::ScopedErrorHandler handler([&](TObject*) { ++errors; });
  CountLoads();
  window->Presenter().ReloadTick();
  window->ReloadTimer().Tick();
  // Whatever the ticks started (a load, or its failure) has come in once the sentinel has.
  EXPECT_EQ(LoadsBeforeSentinel(), std::vector<std::string>{});
  EXPECT_EQ(errors, 0);
}

TEST_F(MainWindowTest, ATypedPathOpensTheFile) {
  ShowAndSettle();  // counts the loads from here on
  std::ofstream(dir / "eine Seite#1.html") << "<title>Seite eins</title>";
  Open(" " + dir / "eine Seite#1.html", 1);
  EXPECT_EQ(loaded[0], "file://" + dir.path() + "/eine%20Seite%231.html");
  EXPECT_TRUE(PumpUntil([&] {
    const char* title = webkit_web_view_get_title(window->Web().View());
    return title && std::string(title) == "Seite eins";
  }));
}

}  // namespace
}  // namespace reprisa
