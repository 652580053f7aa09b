// Fuzzes the reader of the page script's messages, which anything on the page can post: no
// crash, no read past the end, and every message read lies within the bounds the rule relies on
// and reads back the same when written out again as the script writes it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/media_message.h"

namespace {

using reprisa::MediaEvent;
using reprisa::MediaMessage;

const char* const kEventNames[] = {"play", "time", "pause", "end", "error", "wait", "bye", "want"};

bool InBounds(const MediaMessage& m) {
  if (m.doc.size() < 6 || m.doc.size() > 16) return false;
  for (const char ch : m.doc) {
    if (!((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9'))) return false;
  }
  if (!std::isfinite(m.time) || m.time < 0 || m.time >= 1e9 || m.element > 999999) return false;
  if (m.event == MediaEvent::Bye) return m.element == 0 && m.time == 0 && !m.infinite;
  return m.element > 0;
}

std::string Written(const MediaMessage& m) {
  const int event = static_cast<int>(m.event);
  char text[300];
  if (m.event == MediaEvent::Bye) {
    std::snprintf(text, sizeof text, R"({"v":1,"doc":"%s","el":0,"ev":"bye"})", m.doc.c_str());
  } else {
    std::snprintf(text, sizeof text, R"({"ev":"%s","el":%u,"t":%.17g,"inf":%s,"doc":"%s","v":1})",
                  kEventNames[event], static_cast<unsigned>(m.element), m.time,
                  m.infinite ? "true" : "false", m.doc.c_str());
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto message = reprisa::ParseMediaMessage(text);
  if (!message) return 0;
  if (size > 256 || !InBounds(*message)) abort();
  const auto again = reprisa::ParseMediaMessage(Written(*message));
  if (!again || again->doc != message->doc || again->element != message->element ||
      again->event != message->event || again->time != message->time ||
      again->infinite != message->infinite)
    abort();
  return 0;
}
