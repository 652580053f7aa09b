#include "core/engine_memory.h"

namespace reprisa {

bool EngineMemoryBudget::ShouldReplace(const Reading& reading) noexcept {
  if (reading.identity != identity_) {
    identity_ = reading.identity;
    floor_kib_.reset();
    grown_since_.reset();
  }
  if (reading.age_seconds < kSettleSeconds) return false;
  if (!floor_kib_ || reading.kib < *floor_kib_) floor_kib_ = reading.kib;
  if (reading.kib <= *floor_kib_ + kBudgetKiB) {
    grown_since_.reset();
    return false;
  }
  if (!grown_since_) grown_since_ = reading.age_seconds;
  if (reading.age_seconds - *grown_since_ < kGrownSeconds) return false;
  grown_since_.reset();  // should the same engine stay, its growth has to last again
  return true;
}

}  // namespace reprisa
