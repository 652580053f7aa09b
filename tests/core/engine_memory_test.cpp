// When a grown engine is replaced at a reload: against its own floor once settled, only when the
// growth lasts, never before it settled.
#include <gtest/gtest.h>

#include "core/engine_memory.h"

namespace reprisa {
namespace {

TEST(EngineMemoryBudget, ReplacesOnlyASettledEngineThatStaysPastItsBudget) {
  constexpr std::uint64_t kSettled = EngineMemoryBudget::kSettleSeconds;
  constexpr std::uint64_t kBudget = EngineMemoryBudget::kBudgetKiB;
  constexpr std::uint64_t kLasting = EngineMemoryBudget::kGrownSeconds;
  struct {
    EngineMemoryBudget::Reading reading;
    bool replace;
  } steps[] = {
      {{1, 10, 900000}, false},                 // young: does not count, however big
      {{1, kSettled - 1, 900000}, false},
      {{1, kSettled, 150000}, false},           // settled: its floor
      {{1, kSettled + 10, 100000}, false},      // a lower reading lowers the floor
      {{1, kSettled + 20, 100000 + kBudget}, false},  // grown by the budget exactly
      {{1, kSettled + 30, 100001 + kBudget}, false},  // past it, since now
      {{1, kSettled + 30 + kLasting - 1, 200000 + kBudget}, false},
      {{1, kSettled + 30 + kLasting, 100001 + kBudget}, true},  // past it for long enough
      {{1, kSettled + 400, 150000 + kBudget}, false},  // a swing past it ...
      {{1, kSettled + 430, 120000}, false},            // ... that passed
      {{1, kSettled + 430 + kLasting, 150000 + kBudget}, false},  // counts anew
      {{2, kSettled + 5, 300000}, false},       // a new engine: its own floor
      {{2, kSettled + 900, 400000 + kBudget}, false},
      {{2, kSettled + 2000, 400000 + kBudget}, true},  // readings a long interval apart
      {{3, 1, 10}, false},                      // replaced: young again
      {{3, kSettled, 10}, false},
      {{3, kSettled * 3, 11 + kBudget}, false},
      {{3, kSettled * 3 + kLasting, 11 + kBudget}, true},
  };
  EngineMemoryBudget budget;
  for (const auto& s : steps)
    EXPECT_EQ(budget.ShouldReplace(s.reading), s.replace)
        << s.reading.identity << " " << s.reading.age_seconds << " " << s.reading.kib;
}

}  // namespace
}  // namespace reprisa
