// The countdown watched from outside: the countdown field sampled every 10 ms shows every second
// once, each for a second, from the start, after Escape, after a new interval and across reloads.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"

namespace e2e {
namespace {

class CountdownTest : public ProgramTest {
 protected:
  void SetUp() override { StartProgram(); }
};

struct Shown {
  std::wstring text;
  double from_ms;  // when the sampling first saw it
  double to_ms;    // when the sampling first saw the next text
};

TEST_F(CountdownTest, EverySecondIsShownOnceForASecond) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  auto ms = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };

  // The restarts, each made 150 ms after the display changed: the first change after a restart
  // must come half a second after it, whatever the display's rhythm was before.
  struct Restart {
    const char* what;
    double at_ms;  // when the sampling should make it
    bool done = false;
    double made_ms = 0;
  } restarts[] = {{"Escape", 12000}, {"Wert setzen 00:05", 20000}};

  std::vector<Shown> shown{{Text(c_.edit3), 0, 0}};
  while (ms() < 34000) {
    std::wstring text = Text(c_.edit3);
    if (!text.empty() && text != shown.back().text) {
      shown.back().to_ms = ms();
      shown.push_back({text, ms(), 0});
    }
    for (Restart& r : restarts) {
      if (r.done || ms() < r.at_ms || ms() - shown.back().from_ms < 150) continue;
      r.done = true;
      r.made_ms = ms();
      if (r.at_ms == restarts[0].at_ms) {
        PressKey(c_.edit1, VK_ESCAPE);
      } else {
        SetText(c_.edit1, L"00:05");
        ClickButton(c_.set_value);
      }
    }
    Sleep(10);
  }
  ASSERT_TRUE(program_.Alive());
  EXPECT_EQ(Text(c_.edit2), L"00:05");
  // About 34 values; a countdown that skipped would show fewer.
  EXPECT_GE(shown.size(), 32u);

  auto spans = [](const Shown& s, const Restart& r) {
    return r.done && s.from_ms <= r.made_ms && s.to_ms >= r.made_ms;
  };
  double worst = 0;
  for (size_t i = 1; i < shown.size(); ++i) {
    const std::optional<int> before = Seconds(shown[i - 1].text);
    const std::optional<int> now = Seconds(shown[i].text);
    ASSERT_TRUE(now.has_value()) << "Edit3 showed \"" << Narrow(shown[i].text) << "\"";
    // A new count starts at 02:59 (Escape) or 00:04 (the new interval and each reload).
    const bool next = before && *now == *before - 1;
    const bool restart = *now == 179 || *now == 4;
    EXPECT_TRUE(next || restart) << Narrow(shown[i - 1].text) << " then " << Narrow(shown[i].text)
                                 << " at " << shown[i].from_ms << " ms";
    // The last value is still showing; a value that a restart cut short or drew out has no
    // length to check.
    if (i + 1 >= shown.size() || spans(shown[i], restarts[0]) || spans(shown[i], restarts[1]))
      continue;
    const double length = shown[i].to_ms - shown[i].from_ms;
    worst = std::max(worst, std::abs(length - 1000.0));
    EXPECT_NEAR(length, 1000.0, 100.0)
        << "\"" << Narrow(shown[i].text) << "\" shown from " << shown[i].from_ms << " ms";
  }
  for (const Restart& r : restarts) {
    SCOPED_TRACE(r.what);
    ASSERT_TRUE(r.done);
    auto first = std::find_if(shown.begin(), shown.end(),
                              [&](const Shown& s) { return s.from_ms > r.made_ms; });
    ASSERT_NE(first, shown.end());
    EXPECT_EQ(Seconds(first->text), r.at_ms == restarts[0].at_ms ? 179 : 4);
    EXPECT_NEAR(first->from_ms - r.made_ms, 500.0, 100.0);
  }
  std::printf("countdown: %zu values in 34 s, worst deviation from 1 s: %.0f ms\n", shown.size(),
              worst);
}

}  // namespace
}  // namespace e2e
