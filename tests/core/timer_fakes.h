// Test doubles for the scheduler: a timer backend that records what it is asked to do, and a
// tick source whose tick count the test sets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/locale_settings.h"
#include "core/timer.h"

namespace reprisa::testing_support {

using Calls = std::vector<std::string>;  // what a backend was asked, in order
inline const LocaleSettings kGerman{L':', L',', L"", L""};

struct BackendLog {
  std::vector<std::string> calls;  // "start <ms>", "stop"
  bool refuse = false;             // the next starts are refused
  TTimer* bound = nullptr;
  bool destroyed = false;
};

class RecordingBackend final : public TimerBackend {
 public:
  explicit RecordingBackend(BackendLog& log) : log_(log) {}
  ~RecordingBackend() override { log_.destroyed = true; }
  void Bind(TTimer* timer) noexcept override { log_.bound = timer; }
  bool Start(std::uint32_t interval_ms) override {
    log_.calls.push_back("start " + std::to_string(interval_ms));
    return !log_.refuse;
  }
  void Stop() noexcept override { log_.calls.push_back("stop"); }

 private:
  BackendLog& log_;
};

inline std::unique_ptr<TimerBackend> Recording(BackendLog& log) {
  return std::make_unique<RecordingBackend>(log);
}

class FakeTicks final : public TickSource {
 public:
  std::uint32_t Now() override { return now; }
  std::uint32_t now = 0;
};

}  // namespace reprisa::testing_support
