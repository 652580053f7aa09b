// What the program did by itself while nobody watched (a page brought back, a retry, a web
// process replaced, a media failure): one short German line each, in the platform's log. Each
// program hands its platform's writer over at start; without one, nothing is written. Never a
// dialog, and nothing when all is well.
#pragma once

#include <string_view>

namespace reprisa {

// Writes one line (UTF-8, no line end) to the platform's log. Must not raise.
using EventSink = void (*)(std::string_view line);

void SetEventSink(EventSink sink) noexcept;
void LogEvent(std::string_view line) noexcept;

}  // namespace reprisa
