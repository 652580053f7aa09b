// When the page's engine, left running for days, has grown enough to be replaced by a fresh one
// at a reload: its memory, measured at each reload tick, against its own floor once it has
// settled (the first minutes of a page fill caches that then stay). The engine's memory swings
// by tens of MiB as its garbage comes and goes: only growth that lasts counts.
#pragma once

#include <cstdint>
#include <optional>

namespace reprisa {

class EngineMemoryBudget {
 public:
  // How much the engine may grow over its settled floor.
  static constexpr std::uint64_t kBudgetKiB = 64 * 1024;
  // How long an engine runs before its memory counts.
  static constexpr std::uint64_t kSettleSeconds = 5 * 60;
  // How long it must have stayed past its budget, at every reading, to be replaced.
  static constexpr std::uint64_t kGrownSeconds = 60;

  // One measurement of the engine's processes at a reload tick.
  struct Reading {
    std::uint64_t identity;     // changes whenever a new engine process started
    std::uint64_t age_seconds;  // how long the youngest of its processes has run
    std::uint64_t kib;          // their memory together (what grows: heap, scripts, media)
  };

  // Whether the engine should be replaced at this reload. The floor is the lowest reading since
  // the engine settled; a new engine (another identity) starts over.
  bool ShouldReplace(const Reading& reading) noexcept;

 private:
  std::uint64_t identity_ = 0;
  std::optional<std::uint64_t> floor_kib_;
  std::optional<std::uint64_t> grown_since_;  // age at the first of the readings past the budget
};

}  // namespace reprisa
