// What the program does by itself when the page goes away between two reloads: its engine ended
// (a crash, a memory limit, an update of the engine) or the page could not be loaded (no
// connection, a time-out, a server error). The page is brought back at once, and again with
// growing pauses while it keeps failing; never in a busy loop. The countdown is not touched: a
// recovery is neither a restart nor a reload tick. Times are tick counts in milliseconds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace reprisa {

class PageRecovery {
 public:
  // Losses of the engine further back than this are forgotten.
  static constexpr std::uint32_t kLossWindowMs = 5 * 60 * 1000;
  // The pause before the page is brought back after the n-th loss within the window (n from 1);
  // after more losses than listed, the page waits for the reload tick.
  static constexpr std::array<std::uint32_t, 5> kLossDelaysMs{0, 2000, 4000, 8000, 16000};
  // The pauses before a failed load is tried again; the last one repeats.
  static constexpr std::array<std::uint32_t, 5> kRetryDelaysMs{5000, 10000, 20000, 40000, 60000};
  // How long a page may take to start arriving before its load counts as failed: an engine
  // waits for ever on a server that accepted the connection and never answers.
  static constexpr std::uint32_t kNoAnswerMs = 60000;

  // The engine was lost at `now`: the pause before the page is brought back, or nothing when it
  // has been lost too often lately (the reload tick brings it back then). A load being retried is
  // brought back with it.
  std::optional<std::uint32_t> EngineLost(std::uint32_t now);
  // Forgets the losses further back than the window. Called as time passes (at least once a
  // minute), not only when the next loss comes: tick counts wrap after 49.7 days, and a loss
  // kept that long would fall back into the window.
  void Forget(std::uint32_t now) noexcept;
  // The page could not be loaded: the pause before it is tried again.
  std::uint32_t LoadFailed();
  // The page loaded: the next failure starts the pauses from the shortest again.
  void LoadSucceeded() noexcept { retries_ = 0; }
  // The reload tick (or a wake from sleep) reloads the page anyway: a failure after it starts the
  // retry pauses from the shortest again. Lost engines are still counted.
  void Reloaded() noexcept { retries_ = 0; }

 private:
  std::array<std::uint32_t, kLossDelaysMs.size()> losses_{};  // tick counts, newest last
  std::size_t loss_count_ = 0;  // how many of losses_ are in use
  std::size_t retries_ = 0;
};

}  // namespace reprisa
