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
  for (const Case& c : cases) {
    EXPECT_EQ(LayoutScale(c.dpi, c.text_height)(c.design), c.scaled)
        << c.dpi << " dpi, text " << c.text_height << ", value " << c.design;
  }
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

TEST(CenterOnWorkArea, CentresWithTruncationAndClampsToTheDesktop) {
  Rect work{0, 0, 1280, 984};
  Rect desktop{0, 0, 1280, 1024};
  EXPECT_EQ(CenterOnWorkArea(work, desktop, 862, 612), (Point{209, 186}));
  EXPECT_EQ(CenterOnWorkArea(work, desktop, 863, 613), (Point{208, 185}));  // 417/2 truncates
  // Larger than the work area: raised to the desktop's edge, not negative.
  EXPECT_EQ(CenterOnWorkArea(work, desktop, 1400, 1100), (Point{0, 0}));
  // A desktop that starts left of the primary screen allows a negative result down to its edge.
  EXPECT_EQ(CenterOnWorkArea(work, Rect{-1920, 0, 1280, 1024}, 1400, 600), (Point{-60, 192}));
  // The formula measures the work area's size only (a task bar at the left does not shift it).
  EXPECT_EQ(CenterOnWorkArea(Rect{100, 0, 1280, 1024}, desktop, 580, 424), (Point{300, 300}));
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
