#include "core/engine_memory.h"

namespace reprisa {

bool EngineMemoryBudget::ShouldReplace(const Reading& reading) noexcept {
  if (reading.identity != identity_) {
    identity_ = reading.identity;
    level_kib_.reset();
  }
  if (!level_kib_) {
    if (reading.age_seconds >= kSettleSeconds) level_kib_ = reading.kib;
    return false;
  }
  return reading.kib > *level_kib_ + kBudgetKiB;
}

}  // namespace reprisa
