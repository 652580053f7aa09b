// When a grown engine is replaced at a reload: against its own level once settled, never before.
#include <gtest/gtest.h>

#include "core/engine_memory.h"

namespace reprisa {
namespace {

TEST(EngineMemoryBudget, ReplacesOnlyASettledEngineThatGrewPastItsBudget) {
  constexpr std::uint64_t kSettled = EngineMemoryBudget::kSettleSeconds;
  constexpr std::uint64_t kBudget = EngineMemoryBudget::kBudgetKiB;
  struct {
    EngineMemoryBudget::Reading reading;
    bool replace;
  } steps[] = {
      {{1, 10, 900000}, false},                        // young: no level yet, however big
      {{1, kSettled - 1, 900000}, false},
      {{1, kSettled, 100000}, false},                  // settled: its level
      {{1, kSettled + 600, 100000 + kBudget}, false},  // grown by the budget exactly
      {{1, kSettled + 700, 100001 + kBudget}, true},   // past it
      {{1, kSettled + 800, 90000}, false},             // shrank again
      {{2, kSettled + 5, 300000}, false},              // a new engine: its own level
      {{2, kSettled + 900, 300000 + kBudget}, false},
      {{2, kSettled + 999, 400000 + kBudget}, true},
      {{3, 1, 10}, false},                             // replaced: young again
      {{3, kSettled * 2, 10}, false},
      {{3, kSettled * 3, 11 + kBudget}, true},
  };
  EngineMemoryBudget budget;
  for (const auto& s : steps) {
    EXPECT_EQ(budget.ShouldReplace(s.reading), s.replace)
        << s.reading.identity << " " << s.reading.age_seconds << " " << s.reading.kib;
  }
}

}  // namespace
}  // namespace reprisa
