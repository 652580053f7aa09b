#include "core/page_recovery.h"

#include <algorithm>

namespace reprisa {

void PageRecovery::Forget(std::uint32_t now) noexcept {
  // Elapsed time modulo 2^32, as the countdown's.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < loss_count_; ++i) {
    if (static_cast<std::uint32_t>(now - losses_[i]) < kLossWindowMs) losses_[kept++] = losses_[i];
  }
  loss_count_ = kept;
}

std::optional<std::uint32_t> PageRecovery::EngineLost(std::uint32_t now) {
  Forget(now);
  retries_ = 0;
  if (loss_count_ == losses_.size()) {
    // Lost too often lately: the oldest counted loss is replaced, so the count stays full
    // until the losses become rarer.
    std::rotate(losses_.begin(), losses_.begin() + 1, losses_.end());
    losses_.back() = now;
    return std::nullopt;
  }
  losses_[loss_count_++] = now;
  return kLossDelaysMs[loss_count_ - 1];
}

std::uint32_t PageRecovery::LoadFailed() {
  const std::uint32_t delay = kRetryDelaysMs[std::min(retries_, kRetryDelaysMs.size() - 1)];
  if (retries_ < kRetryDelaysMs.size()) ++retries_;
  return delay;
}

}  // namespace reprisa
