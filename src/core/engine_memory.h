// When the page's engine, left running for days, has grown enough to be replaced by a fresh one
// at a reload: its memory is measured at each reload tick against its own level once it has
// settled (the first minutes of a page fill caches that then stay).
#pragma once

#include <cstdint>
#include <optional>

namespace reprisa {

class EngineMemoryBudget {
 public:
  // How much the engine may grow over its settled level.
  static constexpr std::uint64_t kBudgetKiB = 64 * 1024;
  // How long an engine runs before its level is taken.
  static constexpr std::uint64_t kSettleSeconds = 5 * 60;

  // One measurement of the engine's processes at a reload tick.
  struct Reading {
    std::uint64_t identity;     // changes whenever a new engine process started
    std::uint64_t age_seconds;  // how long the youngest of its processes has run
    std::uint64_t kib;          // their memory together
  };

  // Whether the engine should be replaced at this reload. The first reading after it settled is
  // its level; a new engine (another identity) starts over.
  bool ShouldReplace(const Reading& reading) noexcept;

 private:
  std::uint64_t identity_ = 0;
  std::optional<std::uint64_t> level_kib_;
};

}  // namespace reprisa
