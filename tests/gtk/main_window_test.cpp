// The main window in-process: its controls and texts, tab order, keys, the interval, the
// countdown, the reload of the page now shown and the page's return after its web process ended.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>
#include <memory>

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

std::string U8(std::wstring_view text) { return NarrowUtf8(text); }
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
    ASSERT_TRUE(PumpUntil([&] { return window->WebBrowser1 != nullptr; }));
    ASSERT_TRUE(PumpUntil([&] { return !webkit_web_view_is_loading(window->Web().View()); }));
    EXPECT_STREQ(webkit_web_view_get_uri(window->Web().View()), "about:blank");
    Pump(100);
  }
  // A page of our own in the scratch folder.
  std::string Page(const std::string& name, const std::string& body) {
    std::ofstream(dir / name) << "<html><body>" << body << "</body></html>";
    return "file://" + (dir / name);
  }
  // Counts the pages the web view finished loading.
  void CountLoads() {
    g_signal_connect(window->Web().View(), "load-changed",
                     G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent e, gpointer count) {
                       if (e == WEBKIT_LOAD_FINISHED) ++*static_cast<int*>(count);
                     }),
                     &loads);
  }
  GtkWidget* Focus() { return gtk_window_get_focus(window->Window()); }

  ScratchDir dir;
  std::unique_ptr<MainWindow> window;
  int loads = 0;
};

TEST_F(MainWindowTest, ControlsCarryTheirTextsAndNames) {
  MainWindow& w = *window;
  EXPECT_EQ(gtk_window_get_title(w.Window()), U8(texts::kMainCaption));
  EXPECT_EQ(gtk_window_get_title(w.Window()), std::string("Velmora Reprisa 1.0"));
  struct {
    GtkWidget* widget;
    std::wstring_view caption;
  } captions[] = {
      {w.GotoWebsiteBtn, texts::kGotoWebsite}, {w.Label1, texts::kIntervalLabel},
      {w.BitBtn2, texts::kApplyInterval},      {w.Label2, texts::kCountdownLabel},
      {w.BitBtn3, texts::kRestartCountdown},   {w.Hilfe1, texts::kHelpMenu},
      {w.ber1, texts::kAboutMenu},
  };
  for (const auto& c : captions) EXPECT_EQ(Caption(c.widget), U8(c.caption));
  struct {
    GtkWidget* entry;
    std::wstring_view text;
    const char* accessible;
    bool editable;
  } entries[] = {
      {w.urled, texts::kDefaultAddress, "Adresse", true},
      {w.Edit1, texts::kInitialInterval, "Wiederholung starten nach Min:Sekunden:", true},
      {w.Edit2, texts::kInitialInterval, "Aktuelles Intervall", false},
      {w.Edit3, texts::kInitialInterval, "Neustart in:", false},
  };
  for (const auto& e : entries) {
    EXPECT_EQ(Text(e.entry), U8(e.text));
    EXPECT_EQ(AccessibleName(e.entry), e.accessible);
    EXPECT_EQ(gtk_editable_get_editable(GTK_EDITABLE(e.entry)), e.editable) << e.accessible;
  }
  EXPECT_EQ(w.Timer1().Interval(), 180000);
  EXPECT_TRUE(w.Timer1().Running());
  EXPECT_EQ(w.Timer2().Interval(), 1000);
  EXPECT_TRUE(w.Timer2().Running());
  // Nothing is loaded at start: the address waits for the user.
  EXPECT_EQ(webkit_web_view_get_uri(w.Web().View()), nullptr);
}

TEST_F(MainWindowTest, OpensAtTheDesignSizeWithTheAddressFocused) {
  ShowAndSettle();
  int width = 0, height = 0;
  gtk_window_get_size(window->Window(), &width, &height);
  EXPECT_EQ(width, 846);
  GtkAllocation menu, page;
  gtk_widget_get_allocation(window->MainMenu1, &menu);
  gtk_widget_get_allocation(window->WebBrowser1, &page);
  EXPECT_EQ(height - menu.height, 554);  // the client area below the menu bar
  EXPECT_EQ(page.width, 846);
  EXPECT_EQ(page.y + page.height, height);
  EXPECT_EQ(Focus(), window->urled);
}

TEST_F(MainWindowTest, TabVisitsTheControlsInTheirOrder) {
  ShowAndSettle();
  MainWindow& w = *window;
  GtkWidget* order[] = {w.GotoWebsiteBtn, w.BitBtn3, w.Edit1, w.BitBtn2,
                        w.Edit2,          w.Edit3,   w.WebBrowser1};
  ASSERT_EQ(Focus(), w.urled);
  for (GtkWidget* expected : order) {
    PressKey(GTK_WIDGET(w.Window()), GDK_KEY_Tab);
    EXPECT_STREQ(Focus() ? gtk_widget_get_name(Focus()) : "(none)", gtk_widget_get_name(expected));
    gtk_widget_grab_focus(expected);  // go on from the expected one after a miss
  }
}

TEST_F(MainWindowTest, WideningTheWindowWidensTheAddressOnly) {
  ShowAndSettle();
  GtkAllocation url, button;
  gtk_widget_get_allocation(window->urled, &url);
  gtk_widget_get_allocation(window->GotoWebsiteBtn, &button);
  EXPECT_EQ(url.x, 8);
  EXPECT_EQ(url.width, 658);
  EXPECT_EQ(button.x, 846 - 174 + 8);
  gtk_window_resize(window->Window(), 1046, 600);
  ASSERT_TRUE(PumpUntil([&] {
    gtk_widget_get_allocation(window->urled, &url);
    return url.width == 858;
  })) << url.width;
  gtk_widget_get_allocation(window->GotoWebsiteBtn, &button);
  EXPECT_EQ(button.x, 1046 - 174 + 8);
  GtkAllocation restart;
  gtk_widget_get_allocation(window->BitBtn3, &restart);
  EXPECT_EQ(restart.x, button.x);
  EXPECT_EQ(restart.width, 153);
  EXPECT_GT(restart.y, button.y + button.height);
  GtkAllocation edit1;
  gtk_widget_get_allocation(window->Edit1, &edit1);
  EXPECT_EQ(edit1.width, 71);
}

TEST_F(MainWindowTest, EnterInTheAddressOrIntervalFieldOpensTheAddress) {
  ShowAndSettle();
  CountLoads();
  for (GtkWidget* field : {window->urled, window->Edit1}) {
    loads = 0;
    const std::string page = Page("enter.html", gtk_widget_get_name(field));
    gtk_entry_set_text(GTK_ENTRY(window->urled), page.c_str());
    gtk_entry_set_text(GTK_ENTRY(window->Edit1), "00:07");
    gtk_widget_grab_focus(field);
    PressKey(GTK_WIDGET(window->Window()), GDK_KEY_Return);
    ASSERT_TRUE(PumpUntil([&] { return loads > 0; })) << gtk_widget_get_name(field);
    Pump(200);
    EXPECT_EQ(loads, 1) << "opened once";
    EXPECT_EQ(webkit_web_view_get_uri(window->Web().View()), page);
    // Enter opened the address; it did not apply the interval.
    EXPECT_EQ(Text(window->Edit2), "03:00");
    EXPECT_EQ(window->Timer1().Interval(), 180000);
  }
}

TEST_F(MainWindowTest, EscapeOutsideThePageRestartsTheCountdown) {
  ShowAndSettle();
  MainWindow& w = *window;
  for (GtkWidget* focus : {w.urled, w.Edit1, w.BitBtn2, w.Edit3, w.GotoWebsiteBtn}) {
    w.Schedule().SetLastTimer(12345);
    gtk_widget_grab_focus(focus);
    PressKey(GTK_WIDGET(w.Window()), GDK_KEY_Escape);
    EXPECT_NE(w.Schedule().LastTimer(), 12345u) << gtk_widget_get_name(focus);
  }
  // Inside the page the key is the page's.
  gtk_widget_grab_focus(w.WebBrowser1);
  ASSERT_EQ(Focus(), w.WebBrowser1);
  w.Schedule().SetLastTimer(12345);
  PressKey(GTK_WIDGET(w.Window()), GDK_KEY_Escape);
  Pump(100);
  EXPECT_EQ(w.Schedule().LastTimer(), 12345u);
}

TEST_F(MainWindowTest, ApplyIntervalTakesValidTextsAndIgnoresOthers) {
  struct {
    const char* text;
    const char* shown;     // Edit2 afterwards
    std::int32_t interval;
  } cases[] = {
      {"04:30", "04:30", 270000},
      {" 3 : 00 ", "03:00", 180000},
      {"xyz", "03:00", 180000},   // unchanged, nothing shown
      {"24:00", "03:00", 180000},
      {"23:59", "23:59", 1439000},
      {"00:00", "00:00", 0},
  };
  for (const auto& c : cases) {
    gtk_entry_set_text(GTK_ENTRY(window->Edit2), "03:00");
    window->Timer1().SetInterval(180000);
    gtk_entry_set_text(GTK_ENTRY(window->Edit1), c.text);
    gtk_button_clicked(GTK_BUTTON(window->BitBtn2));
    EXPECT_EQ(Text(window->Edit2), c.shown) << c.text;
    EXPECT_EQ(window->Timer1().Interval(), c.interval) << c.text;
    EXPECT_EQ(window->Timer1().Running(), c.interval > 0) << c.text;
  }
}

TEST_F(MainWindowTest, CountdownShowsEverySecondOnceFromHalfASecondOn) {
  ShowAndSettle();
  std::vector<std::string> shown;
  g_signal_connect(window->Edit3, "changed", G_CALLBACK(+[](GtkEditable* e, gpointer list) {
                     static_cast<std::vector<std::string>*>(list)->push_back(
                         gtk_entry_get_text(GTK_ENTRY(e)));
                   }),
                   &shown);
  gtk_entry_set_text(GTK_ENTRY(window->Edit1), "04:30");
  gtk_button_clicked(GTK_BUTTON(window->BitBtn2));
  const gint64 start = g_get_monotonic_time();
  ASSERT_TRUE(PumpUntil([&] { return !shown.empty(); }, 1000));
  // The display ticks half-way between second boundaries: the first one about 0.5 s after the
  // restart, then one per second, none skipped and none repeated.
  const gint64 first_ms = (g_get_monotonic_time() - start) / 1000;
  EXPECT_GE(first_ms, 350);
  EXPECT_LE(first_ms, 800);
  Pump(2200);
  std::vector<std::string> expected = {"04:29", "04:28", "04:27"};
  EXPECT_EQ(shown, expected);
}

TEST_F(MainWindowTest, ReloadTickReloadsThePageNowShownEvenAfterALink) {
  ShowAndSettle();
  CountLoads();
  const std::string second = Page("second.html", "second page");
  const std::string first = Page("first.html", "<a id='l' href='second.html'>next</a>");
  gtk_entry_set_text(GTK_ENTRY(window->urled), first.c_str());
  gtk_button_clicked(GTK_BUTTON(window->GotoWebsiteBtn));
  ASSERT_TRUE(PumpUntil([&] { return loads == 1; }));
  // The user follows the link: the reload must restart the linked page, not the address typed.
  webkit_web_view_evaluate_javascript(window->Web().View(), "document.getElementById('l').click()",
                                      -1, nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return loads == 2; }));
  ASSERT_EQ(webkit_web_view_get_uri(window->Web().View()), second);
  window->Timer1Timer();
  ASSERT_TRUE(PumpUntil([&] { return loads == 3; }));
  EXPECT_EQ(webkit_web_view_get_uri(window->Web().View()), second);
}

TEST_F(MainWindowTest, ReloadTicksComeAtTheSetInterval) {
  ShowAndSettle();
  CountLoads();
  gtk_entry_set_text(GTK_ENTRY(window->urled), Page("tick.html", "tick").c_str());
  gtk_button_clicked(GTK_BUTTON(window->GotoWebsiteBtn));
  ASSERT_TRUE(PumpUntil([&] { return loads == 1; }));
  gtk_entry_set_text(GTK_ENTRY(window->Edit1), "00:01");
  gtk_button_clicked(GTK_BUTTON(window->BitBtn2));
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
  gtk_entry_set_text(GTK_ENTRY(window->urled), page.c_str());
  gtk_button_clicked(GTK_BUTTON(window->GotoWebsiteBtn));
  ASSERT_TRUE(PumpUntil([&] { return loads == 1; }));
  webkit_web_view_terminate_web_process(window->Web().View());
  ASSERT_TRUE(PumpUntil([&] { return window->Web().WebProcessEnded(); }));
  window->Timer1Timer();
  ASSERT_TRUE(PumpUntil([&] { return loads == 2; }, 10000));
  EXPECT_EQ(webkit_web_view_get_uri(window->Web().View()), page);
  EXPECT_FALSE(window->Web().WebProcessEnded());
}

TEST_F(MainWindowTest, ReloadBeforeAnyPageShowsNothingAndFailsNothing) {
  int errors = 0;
  ErrorHandler previous = SetErrorHandler([&](TObject*) { ++errors; });
  window->Timer1Timer();
  window->Timer1().Tick();
  Pump(200);
  SetErrorHandler(std::move(previous));
  EXPECT_EQ(errors, 0);
}

TEST(AddressFromText, TakesTextsWithoutASchemeAsHttp) {
  struct {
    const char* text;
    const char* address;
  } cases[] = {
      {"https://example.org/a", "https://example.org/a"},
      {"  www.example.org  ", "http://www.example.org"},
      {"127.0.0.1:8080/page", "http://127.0.0.1:8080/page"},
      {"localhost:8080", "http://localhost:8080"},
      {"about:blank", "about:blank"},
      {"file:///tmp/x.html", "file:///tmp/x.html"},
      {"   ", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(AddressFromText(c.text), c.address) << c.text;
}

}  // namespace
}  // namespace reprisa
