// The main window's placement through the key file: a round trip across two windows, the
// maximised state, files that hold garbage, and files or folders that cannot be written.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/exceptions.h"
#include "gtk/main_window.h"
#include "gtk_test_support.h"
#include "support/scoped_error_handler.h"

namespace reprisa {
namespace {

using testing_gtk::PumpUntil;
using testing_gtk::ReadFile;
using testing_gtk::ScratchDir;

class PlacementTest : public ::testing::Test {
 protected:
  using Rect = std::array<int, 4>;  // x, y, width, height
  void SetUp() override {
    // The places expected below are those on the screen run-under-xvfb starts.
    GdkRectangle screen;
    gdk_monitor_get_geometry(gdk_display_get_monitor(gdk_display_get_default(), 0), &screen);
    ASSERT_EQ((Rect{screen.x, screen.y, screen.width, screen.height}), (Rect{0, 0, 1280, 1024}));
  }

  AppFolders Folders() const { return {ini, dir / "data", dir / "cache"}; }
  std::unique_ptr<MainWindow> ShowWindow() {
    auto window = std::make_unique<MainWindow>(Folders());
    window->Show();
    EXPECT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(window->Window())); }));
    return window;
  }
  void WriteIni(const std::string& contents) {
    std::filesystem::create_directories(dir / "config");
    std::ofstream(ini, std::ios::binary | std::ios::trunc) << contents;
  }
  static Rect Geometry(MainWindow& w) {
    Rect r;
    gtk_window_get_position(w.Window(), &r[0], &r[1]);
    gtk_window_get_size(w.Window(), &r[2], &r[3]);
    return r;
  }
  // The window centred at its design size, as on a first run.
  static void ExpectFirstRunPlace(MainWindow& w) {
    const Rect r = Geometry(w);
    EXPECT_EQ(r[2], 846);
    EXPECT_NEAR(r[0], (1280 - r[2]) / 2, 1);
    EXPECT_NEAR(r[1], (1024 - r[3]) / 2, 1);
  }

  ScratchDir dir;
  std::string ini = dir / "config/reprisa.ini";
  std::vector<std::wstring> errors;
  testing_support::ScopedErrorHandler reports{
      [this](TObject*) { errors.push_back(ClassifyException(std::current_exception()).text); }};
};

TEST_F(PlacementTest, ComesBackWhereAndAsLargeAsItWasClosed) {
  {
    auto first = ShowWindow();
    ExpectFirstRunPlace(*first);
    gtk_window_move(first->Window(), 123, 77);
    gtk_window_resize(first->Window(), 900, 640);
    ASSERT_TRUE(PumpUntil([&] { return Geometry(*first) == Rect{123, 77, 900, 640}; }));
    first->FormClose();
  }
  const std::string stored = ReadFile(ini);
  for (const char* line : {"[TMainForm]", "NormPos(1280x1024)=123,77,1023,717",
                           "NormPos=123,77,1023,717", "ShowCmd=1", "Visible=0"}) {
    EXPECT_NE(stored.find(line), std::string::npos) << line << " is not in\n" << stored;
  }
  // Written through a temporary file and a rename: nothing else is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "config"), {}), 1);

  auto second = ShowWindow();
  EXPECT_EQ(Geometry(*second), (Rect{123, 77, 900, 640}));
  EXPECT_TRUE(errors.empty());
}

TEST_F(PlacementTest, ClosedMaximisedComesBackMaximised) {
  WriteIni("[TMainForm]\nFormVersion=0\nShowCmd=3\nPixelsPerInch=96\nNormPos=50,60,850,660\n");
  auto window = ShowWindow();
  EXPECT_TRUE(PumpUntil([&] {  // the window's state comes with an event of the screen
    return window->Placement().PlacementWindowAdapter().WindowState() ==
           StoredWindowState::Maximized;
  }));
  window->FormClose();
  const std::string stored = ReadFile(ini);
  EXPECT_NE(stored.find("ShowCmd=3"), std::string::npos) << stored;
  // The normal rectangle is the one it comes back to, not the maximised one.
  EXPECT_NE(stored.find("NormPos=50,60,850,660"), std::string::npos) << stored;
}

TEST_F(PlacementTest, GarbageGivesTheDefaults) {
  std::string binary("[TMainForm]\nNormPos=\0\xff\xfe\x01\x02,7\n", 29);
  for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
  const std::string cases[] = {
      binary,
      "[TMainForm]\nNormPos=" + std::string(2 * 1024 * 1024, '9') + "\n",
      "[TMainForm]\nNormPos=abc,def,ghi,jkl\nShowCmd=99\nFlags=x\n",
      "[TMainForm]\nNormPos=500,500,100,100\n",  // right <= left: no position
      "[TMainForm\nNormPos=10,10,500,500\n",     // no valid key file
      "\xc3\x28[TMainForm]\nNormPos=10,10,500,500\n",  // not UTF-8
  };
  int n = 0;
  for (const std::string& contents : cases) {
    SCOPED_TRACE(n++);
    WriteIni(contents);
    auto window = ShowWindow();
    ExpectFirstRunPlace(*window);
    EXPECT_EQ(window->Placement().PlacementWindowAdapter().WindowState(),
              StoredWindowState::Normal);
    window->FormClose();
    // The next close writes a clean file over the garbage.
    EXPECT_NE(ReadFile(ini).find("FormVersion=0"), std::string::npos);
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(PlacementTest, ARectangleOffTheScreenOrLargerThanItComesBackOnIt) {
  struct {
    const char* norm_pos;
    Rect expected;  // on the 1280 x 1024 screen, which has no panels
  } cases[] = {
      {"5000,4000,5900,4600", {380, 424, 900, 600}},      // beyond the right bottom corner
      {"-3000,-2000,-2100,-1400", {0, 0, 900, 600}},      // beyond the left top corner
      {"-100,-100,60000,50000", {0, 0, 1280, 1024}},      // larger than the screen
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.norm_pos);
    WriteIni("[TMainForm]\nFormVersion=0\nShowCmd=1\nPixelsPerInch=96\nNormPos=" +
             std::string(c.norm_pos) + "\n");
    auto window = ShowWindow();
    PumpUntil([&] { return Geometry(*window) == c.expected; }, 2000);
    EXPECT_EQ(Geometry(*window), c.expected);
    window->DiscardPlacement();
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(PlacementTest, AFileThatCannotBeReplacedGivesDefaultsAndOneMessage) {
  // A folder where the file belongs: it cannot be read, and the rename over it fails (also for
  // root, whom permissions do not stop).
  std::filesystem::create_directories(ini);
  auto window = ShowWindow();
  ExpectFirstRunPlace(*window);
  EXPECT_TRUE(errors.empty());
  window->FormClose();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], L"Failed to set data for 'FormVersion'");
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(window->Window())));
  window.reset();  // the destroy event tries once more, and reports once more
  EXPECT_EQ(errors.size(), 2u);
}

TEST_F(PlacementTest, AFolderThatCannotBeMadeGivesDefaultsAndTheCreateKeyMessage) {
  std::ofstream(dir / "config") << "a file where the folder belongs";
  auto window = ShowWindow();
  ExpectFirstRunPlace(*window);
  window->FormClose();
  ASSERT_GE(errors.size(), 1u);
  EXPECT_EQ(errors[0], L"Failed to create key TMainForm.");
}

TEST_F(PlacementTest, DestroyedWithoutCloseSavesVisibleUnlessDiscarded) {
  ShowWindow().reset();  // destroyed while shown: the destroy event saves
  EXPECT_NE(ReadFile(ini).find("Visible=1"), std::string::npos);
  std::filesystem::remove(ini);
  auto window = ShowWindow();
  window->DiscardPlacement();  // what SIGTERM does: nothing is saved, neither now nor later
  window->FormClose();
  window.reset();
  EXPECT_FALSE(std::filesystem::exists(ini));
}

}  // namespace
}  // namespace reprisa
