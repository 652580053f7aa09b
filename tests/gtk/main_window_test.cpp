// The main window in-process: its controls and texts, tab order, keys, the interval, the
// countdown, the reload of the page now shown and the page's return after its web process ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/exceptions.h"
#include "core/texts.h"
#include "gtk/main_window.h"
#include "gtk_test_support.h"

namespace reprisa {
namespace {

using testing_gtk::PressKey;
using testing_gtk::Pump;
using testing_gtk::PumpUntil;
using testing_gtk::ScratchDir;

std::string Text(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }
std::string Caption(GtkWidget* widget) {
  if (GTK_IS_BUTTON(widget)) return gtk_button_get_label(GTK_BUTTON(widget));
  if (GTK_IS_MENU_ITEM(widget)) return gtk_menu_item_get_label(GTK_MENU_ITEM(widget));
  return gtk_label_get_text(GTK_LABEL(widget));
}
std::string AccessibleName(GtkWidget* widget) {
  const char* name = atk_object_get_name(gtk_widget_get_accessible(widget));
  return name ? name : "";
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>(
        AppFolders{dir / "config/reprisa.ini", dir / "data", dir / "cache"});
  }
  void TearDown() override { window.reset(); }

  void ShowAndSettle() {
    window->Show();
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(window->Window())); }));
    // The window the user types in has the keyboard focus (with no window manager, the screen
    // gives it to whatever window is under the pointer unless asked).
    gdk_window_focus(gtk_widget_get_window(GTK_WIDGET(window->Window())), GDK_CURRENT_TIME);
    PumpUntil([&] { return gtk_window_is_active(window->Window()); }, 2000);
    // After the first paint the web view is made and starts its web process on an empty page.
    ASSERT_TRUE(PumpUntil([&] { return window->browser != nullptr; }));
    ASSERT_TRUE(PumpUntil([&] { return !webkit_web_view_is_loading(window->Web().View()); }));
    EXPECT_STREQ(webkit_web_view_get_uri(window->Web().View()), "about:blank");
    Pump(100);
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
  // How often the page finished loading before a sentinel page that the test opens now: loads
  // come in the order they were asked for, so once the sentinel is in, none of the page's is
  // still to come.
  int LoadsBeforeSentinel(const std::string& page) {
    const std::string sentinel = Page("sentinel.html", "sentinel");
    webkit_web_view_load_uri(window->Web().View(), sentinel.c_str());
    EXPECT_TRUE(PumpUntil([&] { return !loaded.empty() && loaded.back() == sentinel; }));
    return static_cast<int>(std::count(loaded.begin(), loaded.end(), page));
  }
  GtkWidget* Focus() { return gtk_window_get_focus(window->Window()); }

  ScratchDir dir;
  std::unique_ptr<MainWindow> window;
  int loads = 0;
  std::vector<std::string> loaded;
};

TEST_F(MainWindowTest, ControlsCarryTheirTextsAndNames) {
  MainWindow& w = *window;
  EXPECT_EQ(gtk_window_get_title(w.Window()), NarrowUtf8(texts::kMainCaption));
  EXPECT_EQ(gtk_window_get_title(w.Window()),
            std::string("Velmora Reprisa " REPRISA_VERSION_SHORT));
  struct {
    GtkWidget* widget;
    std::wstring_view caption;
  } captions[] = {
      {w.open_address_button, texts::kGotoWebsite},
      {w.interval_label, texts::kIntervalLabel},
      {w.apply_interval_button, texts::kApplyInterval},
      {w.countdown_label, texts::kCountdownLabel},
      {w.restart_countdown_button, texts::kRestartCountdown},
      {w.help_menu, texts::kHelpMenu},
      {w.about_item, texts::kAboutMenu},
  };
  for (const auto& c : captions) EXPECT_EQ(Caption(c.widget), NarrowUtf8(c.caption));
  struct {
    GtkWidget* entry;
    std::wstring_view text;
    const char* accessible;
    bool editable;
  } entries[] = {
      {w.address_edit, texts::kDefaultAddress, "Adresse", true},
      {w.interval_edit, texts::kInitialInterval, "Wiederholung starten nach Min:Sekunden:", true},
      {w.current_interval_edit, texts::kInitialInterval, "Aktuelles Intervall", false},
      {w.countdown_edit, texts::kInitialInterval, "Neustart in:", false},
  };
  for (const auto& e : entries) {
    EXPECT_EQ(Text(e.entry), NarrowUtf8(e.text));
    EXPECT_EQ(AccessibleName(e.entry), e.accessible);
    EXPECT_EQ(gtk_editable_get_editable(GTK_EDITABLE(e.entry)), e.editable) << e.accessible;
  }
  EXPECT_EQ(w.ReloadTimer().Interval(), 180000);
  EXPECT_TRUE(w.ReloadTimer().Running());
  EXPECT_EQ(w.DisplayTimer().Interval(), 1000);
  EXPECT_TRUE(w.DisplayTimer().Running());
  // Nothing is loaded at start: the address waits for the user.
  EXPECT_EQ(webkit_web_view_get_uri(w.Web().View()), nullptr);
}

TEST_F(MainWindowTest, OpensAtTheDesignSizeWithTheAddressFocused) {
  ShowAndSettle();
  int width = 0, height = 0;
  gtk_window_get_size(window->Window(), &width, &height);
  EXPECT_EQ(width, 846);
  GtkAllocation menu, page;
  gtk_widget_get_allocation(window->main_menu, &menu);
  gtk_widget_get_allocation(window->browser, &page);
  EXPECT_EQ(height - menu.height, 554);  // the client area below the menu bar
  EXPECT_EQ(page.width, 846);
  EXPECT_EQ(page.y + page.height, height);
  EXPECT_EQ(Focus(), window->address_edit);
}

TEST_F(MainWindowTest, TabVisitsTheControlsInTheirOrder) {
  ShowAndSettle();
  MainWindow& w = *window;
  GtkWidget* order[] = {
      w.open_address_button,   w.restart_countdown_button, w.interval_edit, w.apply_interval_button,
      w.current_interval_edit, w.countdown_edit,           w.browser};
  ASSERT_EQ(Focus(), w.address_edit);
  for (GtkWidget* expected : order) {
    PressKey(GTK_WIDGET(w.Window()), GDK_KEY_Tab);
    EXPECT_STREQ(Focus() ? gtk_widget_get_name(Focus()) : "(none)", gtk_widget_get_name(expected));
    gtk_widget_grab_focus(expected);  // go on from the expected one after a miss
  }
}

TEST_F(MainWindowTest, WideningTheWindowWidensTheAddressOnly) {
  ShowAndSettle();
  GtkAllocation url, button;
  gtk_widget_get_allocation(window->address_edit, &url);
  gtk_widget_get_allocation(window->open_address_button, &button);
  EXPECT_EQ(url.x, 8);
  EXPECT_EQ(url.width, 658);
  EXPECT_EQ(button.x, 846 - 174 + 8);
  gtk_window_resize(window->Window(), 1046, 600);
  ASSERT_TRUE(PumpUntil([&] {
    gtk_widget_get_allocation(window->address_edit, &url);
    return url.width == 858;
  })) << url.width;
  gtk_widget_get_allocation(window->open_address_button, &button);
  EXPECT_EQ(button.x, 1046 - 174 + 8);
  GtkAllocation restart;
  gtk_widget_get_allocation(window->restart_countdown_button, &restart);
  EXPECT_EQ(restart.x, button.x);
  EXPECT_EQ(restart.width, 153);
  EXPECT_GT(restart.y, button.y + button.height);
  GtkAllocation edit1;
  gtk_widget_get_allocation(window->interval_edit, &edit1);
  EXPECT_EQ(edit1.width, 71);
}

TEST_F(MainWindowTest, EnterInTheAddressOrIntervalFieldOpensTheAddress) {
  ShowAndSettle();
  CountLoads();
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
    EXPECT_EQ(LoadsBeforeSentinel(page), 1) << "opened once";
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
  PressKey(GTK_WIDGET(w.Window()), GDK_KEY_Escape);
  Pump(100);
  EXPECT_EQ(w.Schedule().LastTimer(), 12345u);
}

// Which texts are taken is the presenter's rule (tests/core); here: the button reads the interval
// field and the current-interval field shows what was taken.
TEST_F(MainWindowTest, ApplyIntervalReadsTheFieldAndShowsTheIntervalTaken) {
  gtk_entry_set_text(GTK_ENTRY(window->interval_edit), " 4 : 30 ");
  gtk_button_clicked(GTK_BUTTON(window->apply_interval_button));
  EXPECT_EQ(Text(window->current_interval_edit), "04:30");
  EXPECT_EQ(window->ReloadTimer().Interval(), 270000);
  gtk_entry_set_text(GTK_ENTRY(window->interval_edit), "xyz");
  gtk_button_clicked(GTK_BUTTON(window->apply_interval_button));
  EXPECT_EQ(Text(window->current_interval_edit), "04:30");
  EXPECT_EQ(window->ReloadTimer().Interval(), 270000);
}

TEST_F(MainWindowTest, CountdownShowsEverySecondOnceFromHalfASecondOn) {
  ShowAndSettle();
  struct Shown {
    std::string text;
    gint64 at_ms;  // since the restart
  };
  struct Log {
    gint64 start = 0;
    std::vector<Shown> shown;
  } log;
  g_signal_connect(window->countdown_edit, "changed",
                   G_CALLBACK(+[](GtkEditable* e, gpointer data) {
                     auto* log = static_cast<Log*>(data);
                     log->shown.push_back({gtk_entry_get_text(GTK_ENTRY(e)),
                                           (g_get_monotonic_time() - log->start) / 1000});
                   }),
                   &log);
  gtk_entry_set_text(GTK_ENTRY(window->interval_edit), "04:30");
  log.start = g_get_monotonic_time();
  gtk_button_clicked(GTK_BUTTON(window->apply_interval_button));
  ASSERT_TRUE(PumpUntil([&] { return log.shown.size() >= 3; }, 4000));
  // The display ticks half-way between second boundaries: the first one about 0.5 s after the
  // restart, then one per second, none skipped and none repeated.
  std::vector<std::string> texts;
  for (const Shown& s : log.shown) texts.push_back(s.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"04:29", "04:28", "04:27"}));
  EXPECT_GE(log.shown[0].at_ms, 350);
  EXPECT_LE(log.shown[0].at_ms, 800);
  for (std::size_t i = 1; i < log.shown.size(); ++i) {
    const gint64 gap = log.shown[i].at_ms - log.shown[i - 1].at_ms;
    EXPECT_GE(gap, 700) << "tick " << i;
    EXPECT_LE(gap, 1300) << "tick " << i;
  }
}

TEST_F(MainWindowTest, ReloadTickReloadsThePageNowShownEvenAfterALink) {
  ShowAndSettle();
  CountLoads();
  const std::string second = Page("second.html", "second page");
  const std::string first = Page("first.html", "<a id='l' href='second.html'>next</a>");
  gtk_entry_set_text(GTK_ENTRY(window->address_edit), first.c_str());
  gtk_button_clicked(GTK_BUTTON(window->open_address_button));
  ASSERT_TRUE(PumpUntil([&] { return loads == 1; }));
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
  CountLoads();
  gtk_entry_set_text(GTK_ENTRY(window->address_edit), Page("tick.html", "tick").c_str());
  gtk_button_clicked(GTK_BUTTON(window->open_address_button));
  ASSERT_TRUE(PumpUntil([&] { return loads == 1; }));
  gtk_entry_set_text(GTK_ENTRY(window->interval_edit), "00:01");
  gtk_button_clicked(GTK_BUTTON(window->apply_interval_button));
  const gint64 start = g_get_monotonic_time();
  ASSERT_TRUE(PumpUntil([&] { return loads == 3; }, 6000));
  const gint64 elapsed_ms = (g_get_monotonic_time() - start) / 1000;
  EXPECT_GE(elapsed_ms, 1900);
  EXPECT_LE(elapsed_ms, 3500);
}

TEST_F(MainWindowTest, TheNextTickBringsThePageBackAfterItsWebProcessEnded) {
  ShowAndSettle();
  CountLoads();
  const std::string page = Page("crash.html", "still here");
  gtk_entry_set_text(GTK_ENTRY(window->address_edit), page.c_str());
  gtk_button_clicked(GTK_BUTTON(window->open_address_button));
  ASSERT_TRUE(PumpUntil([&] { return loads == 1; }));
  webkit_web_view_terminate_web_process(window->Web().View());
  ASSERT_TRUE(PumpUntil([&] { return window->Web().WebProcessEnded(); }));
  window->Presenter().ReloadTick();
  ASSERT_TRUE(PumpUntil([&] { return loads == 2; }, 10000));
  EXPECT_EQ(webkit_web_view_get_uri(window->Web().View()), page);
  EXPECT_FALSE(window->Web().WebProcessEnded());
}

TEST_F(MainWindowTest, ReloadBeforeAnyPageShowsNothingAndFailsNothing) {
  int errors = 0;
  ErrorHandler previous = SetErrorHandler([&](TObject*) { ++errors; });
  window->Presenter().ReloadTick();
  window->ReloadTimer().Tick();
  // Whatever the reloads of the empty view start has ended (or never began).
  EXPECT_TRUE(PumpUntil([&] { return !webkit_web_view_is_loading(window->Web().View()); }));
  SetErrorHandler(std::move(previous));
  EXPECT_EQ(errors, 0);
}

TEST_F(MainWindowTest, ATypedPathOpensTheFile) {
  ShowAndSettle();
  CountLoads();
  std::ofstream(dir / "eine Seite#1.html") << "<title>Seite eins</title>";
  gtk_entry_set_text(GTK_ENTRY(window->address_edit), (" " + dir / "eine Seite#1.html").c_str());
  gtk_button_clicked(GTK_BUTTON(window->open_address_button));
  ASSERT_TRUE(PumpUntil([&] { return loads == 1; }));
  EXPECT_EQ(loaded[0], "file://" + dir.path() + "/eine%20Seite%231.html");
  EXPECT_TRUE(PumpUntil([&] {
    const char* title = webkit_web_view_get_title(window->Web().View());
    return title && std::string(title) == "Seite eins";
  }));
}

}  // namespace
}  // namespace reprisa
