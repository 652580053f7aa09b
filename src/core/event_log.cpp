#include "core/event_log.h"

#include <atomic>

namespace reprisa {

namespace {
std::atomic<EventSink> g_sink{nullptr};
}  // namespace

void SetEventSink(EventSink sink) noexcept { g_sink.store(sink); }

void LogEvent(std::string_view line) noexcept {
  const EventSink sink = g_sink.load();
  if (!sink) return;
  try {
    sink(line);
  } catch (...) {
    // A log that cannot be written is no reason to stop: the line is lost.
  }
}

}  // namespace reprisa
