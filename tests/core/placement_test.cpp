// The placement rules against an in-memory store that can fail on any call and a fake window.
#include "core/placement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <limits>
#include <string>
#include <vector>

#include "placement_fakes.h"
#include "support/scoped_error_handler.h"

namespace reprisa {
namespace {
using namespace testing_support;

const std::wstring kSuffix = L"(1920x1080)";

// Collects what reaches the application's error handler.
struct Reports {
  std::vector<std::wstring> texts;
  ScopedErrorHandler handler{
      [this](TObject*) { texts.push_back(ClassifyException(nullptr).text); }};
};

class PlacementRules : public ::testing::Test {
 protected:
  MemoryStore store;
  FakeWindow window;
  TestEngine engine{store, &window};
  Reports reports;

  // The show, close and destroy of one run of the form.
  void Show() { engine.HandleFormShow(nullptr); }
  bool CloseQuery() {
    bool can_close = true;
    engine.HandleFormCloseQuery(nullptr, can_close);
    return can_close;
  }
  int Opens() const {
    return static_cast<int>(std::count_if(store.log.begin(), store.log.end(), [](const auto& e) {
      return e.rfind(L"open", 0) == 0;
    }));
  }
  int Closes() const {
    return static_cast<int>(std::count(store.log.begin(), store.log.end(), L"close"));
  }
};

TEST_F(PlacementRules, FirstRunAppliesNothingAndTheCloseWritesEveryValueInOrder) {
  window.record = {2, 1, {-1, -1}, {-4, -4}, {710, 340, 1210, 740}};
  Show();
  EXPECT_TRUE(window.set.empty());  // nothing stored, the reset position is already there
  EXPECT_EQ(window.position, PlacementPosition::poScreenCenter);
  EXPECT_TRUE(window.states_set.empty());
  EXPECT_TRUE(engine.Restored());
  EXPECT_EQ(store.log.front(), L"open Software\\reprisa ro");
  store.log.clear();
  EXPECT_TRUE(CloseQuery());
  EXPECT_TRUE(engine.Saved());
  std::vector<std::wstring> writes;
  for (const auto& e : store.log)
    if (e.rfind(L"write ", 0) == 0) writes.push_back(e.substr(6));
  EXPECT_EQ(writes, (std::vector<std::wstring>{
                        L"FormVersion", L"Flags", L"ShowCmd", L"PixelsPerInch",
                        L"MinMaxPos" + kSuffix, L"MinMaxPos", L"NormPos" + kSuffix, L"NormPos",
                        L"Visible"}));
  EXPECT_EQ(store.log.front(), L"open Software\\reprisa rw");
  EXPECT_EQ(store.Get(L"FormVersion"), L"0");
  EXPECT_EQ(store.Get(L"Flags"), L"2");
  EXPECT_EQ(store.Get(L"ShowCmd"), L"1");
  EXPECT_EQ(store.Get(L"PixelsPerInch"), L"96");
  EXPECT_EQ(store.Get(L"MinMaxPos"), L"-1,-1,-4,-4");
  EXPECT_EQ(store.Get(L"NormPos" + kSuffix), L"710,340,1210,740");
  EXPECT_EQ(store.Get(L"Visible"), L"0");
  // The destroy after a saved close writes nothing.
  store.log.clear();
  engine.HandleFormDestroy(nullptr);
  EXPECT_TRUE(store.log.empty());
  EXPECT_TRUE(reports.texts.empty());
}

TEST_F(PlacementRules, TheNextRunOpensWhereTheLastClosedWithFlagsAndPositions) {
  store.Put(L"Flags", L"2");
  store.Put(L"MinMaxPos", L"10,20,30,40");
  store.Put(L"NormPos", L"60,70,860,670");
  store.Put(L"ShowCmd", L"3");
  Show();
  ASSERT_EQ(window.set.size(), 1u);  // the reset maximised position went with it
  const PlacementRecord& r = window.set[0];
  EXPECT_EQ(r.flags, 2u);
  EXPECT_EQ(r.min_position, (Point{10, 20}));
  EXPECT_EQ(r.max_position, (Point{-4, -4}));  // the stored one is replaced at every restore
  EXPECT_EQ(r.normal, (Rect{60, 70, 860, 670}));
  EXPECT_EQ(r.show_cmd, 0);  // not yet visible: the placement is set while hidden
  EXPECT_EQ(window.position, PlacementPosition::poDesigned);
  EXPECT_EQ(window.states_set, std::vector<StoredWindowState>{StoredWindowState::Maximized});
  EXPECT_EQ(window.repaints, 1);
}

TEST_F(PlacementRules, TheResetMaximisedPositionIsAppliedForEachBorderStyle) {
  struct Case {
    PlacementBorderStyle border;
    Point expected;
  } cases[] = {{PlacementBorderStyle::bsNone, {0, 0}},
               {PlacementBorderStyle::bsSingle, {-1, -1}},
               {PlacementBorderStyle::bsToolWindow, {-1, -1}},
               {PlacementBorderStyle::bsSizeable, {-4, -4}},
               {PlacementBorderStyle::bsSizeToolWin, {-4, -4}},
               {PlacementBorderStyle::bsDialog, {-3, -3}}};
  for (const Case& c : cases) {
    window.border = c.border;
    window.record.max_position = {-1, -1};
    window.visible = true;
    window.record.show_cmd = 3;
    window.set.clear();
    Show();  // nothing stored: only the reset
    ASSERT_EQ(window.set.size(), (c.expected == Point{-1, -1}) ? 0u : 1u);
    EXPECT_EQ(window.record.max_position, c.expected);
    EXPECT_EQ(window.record.show_cmd, 3);  // a visible window keeps its show command
  }
  window.handle = false;  // no window yet: nothing to set
  window.record.max_position = {7, 7};
  Show();
  EXPECT_EQ(window.record.max_position, (Point{7, 7}));
}

TEST_F(PlacementRules, TheSuffixedValueWinsAndFallsBackToThePlainOneWhenEmpty) {
  struct Case {
    const wchar_t* suffixed;  // nullptr: missing
    Rect expected;
  } cases[] = {{L"40,50,940,630", {40, 50, 940, 630}},
               {L"", {100, 120, 1000, 700}},
               {nullptr, {100, 120, 1000, 700}}};
  for (const Case& c : cases) {
    store.sections.clear();
    window.set.clear();
    store.Put(L"NormPos", L"100,120,1000,700");
    if (c.suffixed) store.Put(L"NormPos" + kSuffix, c.suffixed);
    Show();
    ASSERT_EQ(window.set.size(), 1u);
    EXPECT_EQ(window.set[0].normal, c.expected);
  }
}

TEST_F(PlacementRules, BrokenTextsTakeTheirDefaultsWithoutAWord) {
  window.bounds = {300, 200, 800, 600};
  window.record.normal = {300, 200, 800, 600};
  struct Case {
    const wchar_t* norm;
    const wchar_t* min_max;
    bool applied;
    Rect normal;
    Point min_position;
  } cases[] = {
      {L"60,70", L"", true, {60, 70, 800, 600}, {-1, -1}},        // two words: left, top
      {L"x,y", L"", true, {300, 200, 800, 600}, {-1, -1}},        // the form's own place
      {L",, 5 ,,6,7,8,9", L"", true, {5, 6, 7, 8}, {-1, -1}},     // runs of delimiters
      {L"500,120,400,700", L"1,2,3,4", false, {}, {}},            // right <= left: nothing
      {L"10,700,400,120", L"", false, {}, {}},                    // bottom <= top: nothing
      {L"500,500,500,500", L"", false, {}, {}},                   // no size at all: nothing
      {L"500,120,500,700", L"", false, {}, {}},                   // no width: nothing
      {L"10,700,400,700", L"", false, {}, {}},                    // no height: nothing
      {L"500,500,501,501", L"", true, {500, 500, 501, 501}, {-1, -1}},  // one pixel is a size
      {L"", L"1,x", true, {300, 200, 800, 600}, {1, 0}},          // positions only
      {L"1,2,3,99999999999", L"", true, {1, 2, 3, 600}, {-1, -1}},  // out of range: default
  };
  for (const Case& c : cases) {
    store.sections.clear();
    window.set.clear();
    window.record = {0, 1, {-1, -1}, {-4, -4}, {300, 200, 800, 600}};
    window.position = PlacementPosition::poScreenCenter;
    store.Put(L"NormPos", c.norm);
    store.Put(L"MinMaxPos", c.min_max);
    Show();
    SCOPED_TRACE(testing::Message() << std::string(c.norm, c.norm + std::wcslen(c.norm)));
    if (!c.applied) {
      EXPECT_TRUE(window.set.empty());
      EXPECT_EQ(window.position, PlacementPosition::poScreenCenter);  // centred as on a first run
      continue;
    }
    ASSERT_EQ(window.set.size(), 1u);
    EXPECT_EQ(window.set[0].normal, c.normal);
    EXPECT_EQ(window.set[0].min_position, c.min_position);
  }
  EXPECT_TRUE(reports.texts.empty());
}

TEST_F(PlacementRules, AnotherDpiKeepsTheStateButNotThePlace) {
  store.Put(L"NormPos", L"60,70,860,670");
  store.Put(L"Flags", L"2");
  store.Put(L"PixelsPerInch", L"144");
  store.Put(L"ShowCmd", L"3");
  Show();
  EXPECT_TRUE(window.set.empty());
  EXPECT_EQ(window.position, PlacementPosition::poScreenCenter);
  EXPECT_EQ(window.states_set, std::vector<StoredWindowState>{StoredWindowState::Maximized});
}

TEST_F(PlacementRules, TheStoredShowCommandSetsTheState) {
  using enum StoredWindowState;
  struct Case {
    const wchar_t* cmd;
    std::vector<StoredWindowState> set;
    int minimize_requests;
    bool main_form = true;
    PlacementPosition position = PlacementPosition::poScreenCenter;
  } cases[] = {{L"1", {Normal}, 0},
               {L"9", {Normal}, 0},
               {L"3", {Maximized}, 0},
               {L"2", {}, 1},  // the main form: the application minimises itself
               {L"7", {}, 1},
               {L"0", {}, 0},
               {L"4", {}, 0},
               {L"8", {}, 0},
               {L"-3", {}, 0},
               {L"10", {}, 0},
               {L"6", {Minimized}, 0, false},  // another form minimises itself
               // A form at the system's default place opens maximised when nothing says otherwise.
               {L"0", {Maximized}, 0, true, PlacementPosition::poDefault}};
  for (const Case& c : cases) {
    window.states_set.clear();
    window.minimize_requests = 0;
    window.main_form = c.main_form;
    window.position = c.position;
    store.Put(L"ShowCmd", c.cmd);
    Show();
    EXPECT_EQ(window.states_set, c.set) << static_cast<int>(c.cmd[0]);
    EXPECT_EQ(window.minimize_requests, c.minimize_requests) << static_cast<int>(c.cmd[0]);
  }
}

TEST_F(PlacementRules, AFormThatCannotBeResizedKeepsItsSize) {
  window.border = PlacementBorderStyle::bsSingle;
  window.bounds = {0, 0, 400, 300};
  store.Put(L"NormPos", L"10,20,2000,2000");
  Show();
  ASSERT_EQ(window.set.size(), 1u);
  EXPECT_EQ(window.set[0].normal, (Rect{10, 20, 410, 320}));
  // Far to the right and down: 64-bit edges, then back onto the work area, still 400 x 300.
  window.set.clear();
  store.Put(L"NormPos", L"2147483000,2147483600,0,0");
  Show();
  ASSERT_EQ(window.set.size(), 1u);
  EXPECT_EQ(window.set[0].normal, (Rect{1520, 740, 1920, 1040}));
}

TEST_F(PlacementRules, AnOverflowingRectangleComesBackWithAPositiveSize) {
  store.Put(L"NormPos", L"-2147483648,-100000,2147483647,-99000");
  Show();
  ASSERT_EQ(window.set.size(), 1u);
  EXPECT_EQ(window.set[0].normal, (Rect{0, 0, 1920, 1000}));
}

TEST_F(PlacementRules, NewerAndOlderStoredVersions) {
  engine.SetVersion(2);
  struct Case {
    const wchar_t* stored;
    bool applied;
  } cases[] = {{L"3", true}, {L"2", true}, {L"1", false}, {L"", false}};
  for (const Case& c : cases) {
    store.sections.clear();
    window.set.clear();
    store.Put(L"FormVersion", c.stored);
    store.Put(L"NormPos", L"60,70,860,670");
    Show();
    EXPECT_EQ(window.set.size(), c.applied ? 1u : 0u) << static_cast<int>(c.stored[0]);
    EXPECT_TRUE(engine.Restored());  // either way the close saves
    EXPECT_EQ(store.Get(L"NormPos"), L"60,70,860,670");  // an older one stays until the save
    CloseQuery();
    EXPECT_EQ(store.Get(L"FormVersion"), L"2");
  }
}

TEST_F(PlacementRules, AWrongTypedValueStopsTheRestoreAndTheRunSavesNothing) {
  for (const wchar_t* ident : {L"Flags", L"NormPos", L"ShowCmd", L"PixelsPerInch"}) {
    MemoryStore s;
    FakeWindow w;
    TestEngine e{s, &w};
    reports.texts.clear();
    s.Put(L"NormPos", L"60,70,860,670");
    s.PutOther(ident);
    e.HandleFormShow(nullptr);
    ASSERT_EQ(reports.texts.size(), 1u);
    EXPECT_EQ(reports.texts[0], L"Invalid data type for '" + std::wstring(ident) + L"'");
    EXPECT_FALSE(e.Restored());
    EXPECT_FALSE(s.open);  // closed on the way out
    bool can_close = true;
    e.HandleFormCloseQuery(nullptr, can_close);
    e.HandleFormDestroy(nullptr);
    EXPECT_EQ(s.Get(L"FormVersion"), std::nullopt);
  }
}

TEST_F(PlacementRules, ASaveFailingHalfWayKeepsWhatWasWrittenAndTheDestroyTriesAgain) {
  Show();
  store.calls = 0;
  store.fail_at = 4;  // FormVersion, Flags, ShowCmd written; PixelsPerInch fails
  EXPECT_TRUE(CloseQuery());  // closing goes on
  ASSERT_EQ(reports.texts.size(), 1u);
  EXPECT_EQ(reports.texts[0], L"Failed to set data for 'PixelsPerInch'");
  EXPECT_FALSE(engine.Saved());
  EXPECT_EQ(store.Get(L"ShowCmd"), L"1");
  EXPECT_EQ(store.Get(L"PixelsPerInch"), std::nullopt);
  EXPECT_FALSE(store.open);
  store.fail_at = 0;
  engine.HandleFormDestroy(nullptr);
  EXPECT_EQ(store.Get(L"Visible"), L"1");
  EXPECT_EQ(store.Get(L"PixelsPerInch"), L"96");
  EXPECT_EQ(reports.texts.size(), 1u);
}

TEST_F(PlacementRules, AStoreThatCannotBeOpenedReadsDefaultsAndFailsTheWrite) {
  store.fail_open = true;
  Show();
  EXPECT_TRUE(engine.Restored());
  EXPECT_TRUE(reports.texts.empty());
  CloseQuery();
  ASSERT_EQ(reports.texts.size(), 1u);
  EXPECT_EQ(reports.texts[0], L"Failed to create key TMainForm.");  // shown with a full stop
  EXPECT_EQ(Opens(), Closes());
}

TEST_F(PlacementRules, APlacementTheSystemWillNotTellIsNeverWritten) {
  store.Put(L"NormPos", L"60,70,860,670");
  Show();
  window.refuse_placement = true;
  store.log.clear();
  CloseQuery();
  ASSERT_EQ(reports.texts.size(), 1u);
  EXPECT_EQ(reports.texts[0], L"placement refused.");
  EXPECT_TRUE(store.log.empty());  // not even the version
  EXPECT_EQ(store.Get(L"NormPos"), L"60,70,860,670");
  EXPECT_FALSE(engine.Saved());
}

TEST_F(PlacementRules, TheEventsUseTheOpenStore) {
  engine.OnRestorePlacement = [&](TObject*) {
    EXPECT_TRUE(store.open);
    engine.WriteInteger(L"Restores", engine.ReadInteger(L"Restores", 0) + 1);
  };
  engine.OnSavePlacement = [&](TObject*) {
    EXPECT_EQ(store.Get(L"Visible"), L"0");  // after the placement values
    engine.WriteString(L"Extra", L"x");
  };
  Show();
  CloseQuery();
  EXPECT_EQ(store.Get(L"Restores"), L"1");
  EXPECT_EQ(store.Get(L"Extra"), L"x");
  EXPECT_EQ(Opens(), 2);  // one for the restore, one for the save
  EXPECT_EQ(Closes(), 2);
  // Outside the events a single value opens a store of its own, read-only for reading.
  store.log.clear();
  EXPECT_EQ(engine.ReadString(L"Extra", L"d"), L"x");
  EXPECT_EQ(engine.ReadString(L"Missing", L"d"), L"d");
  EXPECT_EQ(store.log[0], L"open Software\\reprisa ro");
  EXPECT_EQ(Opens(), 2);
  EXPECT_EQ(Closes(), 2);
}

class RecordingLink : public TPlacementLink {
 public:
  RecordingLink(std::vector<std::wstring>& log, std::wstring name, MemoryStore& store)
      : log_(log), name_(std::move(name)), store_(store) {}
  void SaveLink() override {
    log_.push_back(L"save " + name_ + L" after " + store_.log.back());
  }
  void LoadLink() override { log_.push_back(L"load " + name_); }

 private:
  std::vector<std::wstring>& log_;
  std::wstring name_;
  MemoryStore& store_;
};

TEST_F(PlacementRules, LinksSaveAndLoadInOrderWithThePlacement) {
  std::vector<std::wstring> log;
  RecordingLink a(log, L"a", store), b(log, L"b", store);
  engine.AddLink(&a);
  engine.AddLink(&b);
  engine.OnRestorePlacement = [&](TObject*) { log.push_back(L"restored"); };
  engine.OnSavePlacement = [&](TObject*) { log.push_back(L"saved"); };
  Show();
  CloseQuery();
  EXPECT_EQ(log, (std::vector<std::wstring>{L"load a", L"load b", L"restored",
                                            L"save a after write Visible",
                                            L"save b after write Visible", L"saved"}));
  {
    RecordingLink c(log, L"c", store);
    engine.AddLink(&c);
    EXPECT_EQ(c.Placement(), &engine);
  }  // gone: removed from the engine
  log.clear();
  engine.RemoveLink(&a);
  EXPECT_EQ(a.Placement(), nullptr);
  CloseQuery();
  EXPECT_EQ(log, (std::vector<std::wstring>{L"save b after write Visible", L"saved"}));
}

TEST_F(PlacementRules, TheActiveControlIsCarriedWithItsOption) {
  engine.SetOptions(fpState | fpPosition | fpActiveControl);
  window.active_control = L"Button1";
  Show();
  CloseQuery();
  EXPECT_EQ(store.Get(L"ActiveControl"), L"Button1");
  window.active_control = L"Edit1";
  Show();
  EXPECT_EQ(window.active_control, L"Button1");
  // A name no control of the form has changes nothing; without the option nothing is written.
  store.Put(L"ActiveControl", L"Nothing");
  Show();
  EXPECT_EQ(window.active_control, L"Button1");
  engine.SetOptions(fpState | fpPosition);
  store.sections.clear();
  CloseQuery();
  EXPECT_EQ(store.Get(L"ActiveControl"), std::nullopt);
}

TEST_F(PlacementRules, AKeptCloseQueryThatRefusesPreventsTheSave) {
  int kept_calls = 0;
  engine.KeptCloseQuery = [&](TObject*, bool& can_close) {
    ++kept_calls;
    can_close = false;
  };
  Show();
  EXPECT_FALSE(CloseQuery());
  EXPECT_EQ(kept_calls, 1);
  EXPECT_EQ(store.Get(L"FormVersion"), std::nullopt);
  // The kept show and destroy run after the component's own work, also after a failure.
  std::vector<std::wstring> order;
  engine.KeptShow = [&](TObject*) { order.push_back(store.open ? L"show open" : L"show"); };
  engine.KeptDestroy = [&](TObject*) { order.push_back(L"destroy " + *store.Get(L"Visible")); };
  store.PutOther(L"Flags");
  Show();
  store.sections.clear();
  engine.HandleFormDestroy(nullptr);  // the first showing restored: the destroy saves
  EXPECT_EQ(order, (std::vector<std::wstring>{L"show", L"destroy 1"}));
}

TEST_F(PlacementRules, InactiveNeitherRestoresNorSavesButAnExplicitSaveWrites) {
  engine.SetActive(false);
  store.Put(L"NormPos", L"60,70,860,670");
  Show();
  EXPECT_TRUE(window.set.empty());
  store.sections.clear();
  CloseQuery();
  engine.HandleFormDestroy(nullptr);
  EXPECT_EQ(store.Get(L"FormVersion"), std::nullopt);
  engine.SaveFormPlacement();
  EXPECT_EQ(store.Get(L"FormVersion"), L"0");
}

TEST_F(PlacementRules, TheApplicationMinimisedIsSavedAsMinimised) {
  Show();
  window.app_minimized = true;
  CloseQuery();
  EXPECT_EQ(store.Get(L"ShowCmd"), L"2");
  window.main_form = false;  // another form: its own show command
  CloseQuery();
  EXPECT_EQ(store.Get(L"ShowCmd"), L"1");
  window.style = PlacementFormStyle::fsMDIChild;  // a minimised MDI child sets its flag
  window.state = StoredWindowState::Minimized;
  CloseQuery();
  EXPECT_EQ(store.Get(L"Flags"), L"1");
}

TEST_F(PlacementRules, TheEndOfTheSessionSavesOnceAsAtAClose) {
  Show();
  engine.HandleEndSession();
  EXPECT_TRUE(engine.Saved());
  EXPECT_EQ(store.Get(L"Visible"), L"0");
  store.log.clear();
  engine.HandleEndSession();
  engine.HandleFormDestroy(nullptr);
  EXPECT_TRUE(store.log.empty());
  // Never restored (the show failed): the end of the session leaves the stored values alone.
  MemoryStore s;
  FakeWindow w;
  TestEngine e{s, &w};
  s.PutOther(L"ShowCmd");
  e.HandleFormShow(nullptr);
  s.sections.clear();
  e.HandleEndSession();
  EXPECT_EQ(s.Get(L"FormVersion"), std::nullopt);
}

TEST_F(PlacementRules, EraseSectionsRemovesTheSectionAndItsNamesakesOnly) {
  for (const wchar_t* section : {L"TMainForm", L"TMainForm.Grid", L"TMainForm\\Sub", L"TMainForm2",
                                 L"Other"})
    store.Put(L"x", L"1", section);
  engine.EraseSections();
  std::vector<std::wstring> left = store.SectionNames();
  EXPECT_EQ(left, (std::vector<std::wstring>{L"Other", L"TMainForm2"}));
}

TEST_F(PlacementRules, AnEngineWithoutAFormKeepsOnlyItsVersionAndLinks) {
  MemoryStore s;
  TestEngine e{s, nullptr};
  e.HandleFormShow(nullptr);
  e.SaveFormPlacement();
  EXPECT_EQ(s.Get(L"FormVersion"), L"0");
  EXPECT_EQ(s.Get(L"NormPos"), std::nullopt);
}

// ---- Keeping a rectangle reachable ----

TEST(PlacementKeepOnScreen, MovesOnlyWhatCannotBeReached) {
  // A task bar at the top or the left: the record's origin is the work area's, so the screen
  // starts above or left of 0 in these coordinates. A window in the bar's strip is on screen.
  const std::vector<PlacementScreen> bar_top{{{0, -40, 1920, 1040}, {0, 0, 1920, 1040}}};
  const std::vector<PlacementScreen> bar_left{{{-60, 0, 1860, 1080}, {0, 0, 1860, 1080}}};
  const std::vector<PlacementScreen> two{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                                         {{-1280, -200, 0, 824}, {-1280, -200, 0, 784}}};
  const std::vector<PlacementScreen> one{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}}};
  // Two screens with a gap between them (where a third one was unplugged).
  const std::vector<PlacementScreen> apart{{{0, 0, 1000, 1000}, {0, 0, 1000, 1000}},
                                           {{2000, 0, 3000, 1000}, {2000, 0, 3000, 1000}}};
  struct Case {
    const char* what;
    const std::vector<PlacementScreen>* screens;
    Rect64 in;
    Rect out;
  } cases[] = {
      {"in the top bar's strip", &bar_top, {100, -30, 500, -10}, {100, -30, 500, -10}},
      {"above the top bar", &bar_top, {100, -300, 500, -100}, {100, 0, 500, 200}},
      {"in the left bar's strip", &bar_left, {-50, 10, -20, 300}, {-50, 10, -20, 300}},
      {"left of the left bar", &bar_left, {-500, 10, -100, 300}, {0, 10, 400, 300}},
      {"spanning two screens", &two, {-200, 100, 200, 500}, {-200, 100, 200, 500}},
      {"far left: the left screen", &two, {-9000, 0, -8000, 500}, {-1280, 0, -280, 500}},
      {"far down: the primary", &two, {100, 5000, 600, 5300}, {100, 740, 600, 1040}},
      {"larger than the work area", &two, {3000, 0, 6000, 2000}, {0, 0, 1920, 1040}},
      // Touching a screen's edge from outside is not being on it; one pixel over it is.
      {"touching the left edge from outside", &one, {-800, 100, 0, 500}, {0, 100, 800, 500}},
      {"touching the top edge from outside", &one, {100, -400, 500, 0}, {100, 0, 500, 400}},
      {"touching the right edge from outside", &one, {1920, 100, 2720, 500},
       {1120, 100, 1920, 500}},
      {"one pixel over the left edge", &one, {-799, 100, 1, 500}, {-799, 100, 1, 500}},
      // As wide as the desktop, it is still reachable where it is; one pixel wider, it is not.
      {"exactly as wide as the desktop", &two, {-1280, 900, 1920, 1300},
       {-1280, 900, 1920, 1300}},
      {"one pixel wider than the desktop", &two, {-1281, 900, 1920, 1300}, {0, 640, 1920, 1040}},
      {"exactly as high as the desktop", &one, {100, 0, 500, 1080}, {100, 0, 500, 1080}},
      // Off every screen, the nearest screen is measured from the window's nearest edge: its
      // width decides which screen that is.
      {"in the gap, nearer the left screen", &apart, {1100, 100, 1200, 500},
       {900, 100, 1000, 500}},
      {"in the gap, wide enough to be nearer the right screen", &apart, {1100, 100, 1950, 500},
       {2000, 100, 2850, 500}},
      {"larger than the desktop", &two,
       {-2147483648LL, -2147483648LL, 2147483647LL, 2147483647LL}, {0, 0, 1920, 1040}},
  };
  for (const Case& c : cases) EXPECT_EQ(KeepOnScreen(c.in, *c.screens), c.out) << c.what;
}

TEST(PlacementKeepOnScreen, WithoutScreensOnlyTheRangeIsKept) {
  EXPECT_EQ(KeepOnScreen({2147483000LL, 0, 2147484000LL, 10}, {}),
            (Rect{2147482647, 0, 2147483647, 10}));
  // A screen without a work area does not count.
  EXPECT_EQ(KeepOnScreen({5000, 0, 6000, 10}, {{{0, 0, 100, 100}, {0, 0, 0, 0}}}),
            (Rect{5000, 0, 6000, 10}));
}

}  // namespace
}  // namespace reprisa
