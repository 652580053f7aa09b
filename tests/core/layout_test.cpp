#include <gtest/gtest.h>

#include "core/component.h"
#include "core/layout.h"

namespace reprisa {
namespace {

TEST(LayoutScale, IsExactlyOneAtDesignDpiWhateverTheFontMeasures) {
  LayoutScale s(96, 14);
  EXPECT_TRUE(s.IsIdentity());
  EXPECT_EQ(s(846), 846);
}

TEST(LayoutScale, ScalesByTextHeightOverThirteenRounded) {
  struct Case {
    int dpi, text_height, design, scaled;
  } cases[] = {
      {144, 20, 846, 1302}, {144, 20, 554, 852}, {144, 20, 65, 100}, {144, 20, 13, 20},
      {120, 16, 71, 87},    {120, 16, 21, 26},   {192, 26, 174, 348}, {144, 19, 3, 4},
      {144, 20, 0, 0},      {144, 20, -8, -12},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LayoutScale(c.dpi, c.text_height)(c.design), c.scaled)
        << c.dpi << " dpi, text " << c.text_height << ", value " << c.design;
}

TEST(FontHeight, ScalesWithDpiRounded) {
  EXPECT_EQ(ScaleFontHeight(-11, 96), -11);
  EXPECT_EQ(ScaleFontHeight(-11, 144), -17);  // -16.5 rounds away from zero
  EXPECT_EQ(ScaleFontHeight(-11, 120), -14);  // -13.75
  EXPECT_EQ(ScaleFontHeight(-24, 192), -48);
  EXPECT_EQ(ScaleFontHeight(13, 144), 20);     // 19.5
}

TEST(MulDivRound, RoundsHalvesAwayFromZeroWithoutOverflow) {
  EXPECT_EQ(MulDivRound(1, 1, 2), 1);
  EXPECT_EQ(MulDivRound(-1, 1, 2), -1);
  EXPECT_EQ(MulDivRound(2000000000, 3, 4), 1500000000);  // the product needs 64 bits
  EXPECT_EQ(MulDivRound(1000000, 1000, 1000), 1000000);
  EXPECT_EQ(MulDivRound(5, 7, 0), 5);
}

struct CentreCase {
  const char* what;
  Rect work;
  int width, height;
  Point expected;
};

// The window's place, and its edges inside the work area where it fits.
void ExpectCentred(const CentreCase& c) {
  Point p = CenterOnWorkArea(c.work, c.width, c.height);
  EXPECT_EQ(p, c.expected) << c.what;
  EXPECT_GE(p.x, c.work.left) << c.what;
  EXPECT_GE(p.y, c.work.top) << c.what;
  if (c.width <= c.work.Width()) {
    EXPECT_LE(p.x + c.width, c.work.right) << c.what;
  }
  if (c.height <= c.work.Height()) {
    EXPECT_LE(p.y + c.height, c.work.bottom) << c.what;
  }
}

TEST(CenterOnWorkArea, CentresInTheWorkAreaFromItsOriginWhereverTheTaskBarIs) {
  // A 1280 x 1024 screen with a 40-pixel task bar on each side in turn, and a window of the main
  // window's outer size at 96 dpi.
  const CentreCase cases[] = {
      {"bar at the bottom", {0, 0, 1280, 984}, 862, 612, {209, 186}},
      {"bar at the top", {0, 40, 1280, 1024}, 862, 612, {209, 226}},
      {"bar at the left", {40, 0, 1280, 1024}, 862, 612, {229, 206}},
      {"bar at the right", {0, 0, 1240, 1024}, 862, 612, {189, 206}},
      {"bar at the bottom, odd room truncates", {0, 0, 1280, 984}, 863, 613, {208, 185}},
      {"bar at the left, odd room truncates", {40, 0, 1280, 1024}, 861, 611, {229, 206}},
  };
  for (const CentreCase& c : cases) ExpectCentred(c);
}

TEST(CenterOnWorkArea, KeepsAWindowLargerThanTheWorkAreaAtItsLeftAndTopEdges) {
  const CentreCase cases[] = {
      // A second screen left of and above the primary one makes the desktop's origin negative;
      // the window still starts at the work area's top, not above it on the other screen.
      {"taller, desktop origin negative", {0, 0, 1920, 1040}, 800, 1200, {560, 0}},
      {"taller, bar at the top", {0, 40, 1280, 1024}, 862, 1100, {209, 40}},
      {"wider, bar at the left", {40, 0, 1280, 1024}, 1400, 612, {40, 206}},
      {"both, bar at the top", {0, 40, 1280, 1024}, 1400, 1100, {0, 40}},
      {"work area at negative coordinates", {-1280, -200, 0, 824}, 600, 400, {-940, 112}},
      {"larger, work area at negative coordinates", {-1280, -200, 0, 824}, 2000, 2000,
       {-1280, -200}},
      {"exactly the work area", {0, 40, 1280, 1024}, 1280, 984, {0, 40}},
  };
  for (const CentreCase& c : cases) ExpectCentred(c);
}

TEST(CenterOnWorkArea, ExtremeCoordinatesDoNotOverflow) {
  const Rect huge{-2000000000, -2000000000, 2000000000, 2000000000};
  EXPECT_EQ(CenterOnWorkArea(huge, 100, 100), (Point{-50, -50}));
  EXPECT_EQ(CenterOnWorkArea(Rect{2147483000, 0, 2147483600, 100}, 200, 50),
            (Point{2147483200, 25}));
}

class Probe : public TComponent {
 public:
  using TComponent::TComponent;
  ~Probe() override { log->push_back(Name() + L"~"); }
  void Loaded() override {
    TComponent::Loaded();
    log->push_back(Name() + L".Loaded");
  }
  void BeforeDestruction() override { log->push_back(Name() + L".Before"); }
  std::vector<std::wstring>* log = nullptr;
};

TEST(Components, OwnerLoadsInCreationOrderAndFreesNewestFirst) {
  std::vector<std::wstring> log;
  {
    Probe owner(nullptr);
    owner.log = &log;
    owner.SetName(L"form");
    owner.BeginLoading();
    for (const wchar_t* n : {L"a", L"b", L"c"}) {
      auto* p = new Probe(&owner);
      p->log = &log;
      p->SetName(n);
      EXPECT_TRUE(p->Loading());
    }
    EXPECT_EQ(owner.FindComponent(L"B"), owner.Components(1));
    EXPECT_EQ(owner.FindComponent(L""), nullptr);
    owner.EndLoading();
    EXPECT_FALSE(owner.Components(0)->Loading());
    EXPECT_FALSE(owner.Loading());
    delete owner.Components(1);  // a component freed early leaves its owner's list
    EXPECT_EQ(owner.ComponentCount(), 2u);
  }
  std::vector<std::wstring> expected = {L"a.Loaded", L"b.Loaded", L"c.Loaded", L"form.Loaded",
                                        L"b~",       L"form~",    L"c.Before", L"c~",
                                        L"a.Before", L"a~"};
  EXPECT_EQ(log, expected);
}

}  // namespace
}  // namespace reprisa
