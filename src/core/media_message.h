// One message of the page's media script (media_script.h), read strictly: whatever arrives on the
// channel may come from the page itself, so anything but the script's own shape is nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace reprisa {

// Want: the page asked the element to play (play() or autoplay), before it plays.
enum class MediaEvent { Play, Time, Pause, End, Error, Wait, Bye, Want };

// One message of the page script. `time` (the element's current time, seconds) and `infinite`
// (its duration is infinite) are 0 and false for Bye; `element` is 0 only for Bye.
struct MediaMessage {
  std::string doc;  // the document's own random id: 6 to 16 of [a-z0-9]
  std::uint32_t element;
  MediaEvent event;
  double time;
  bool infinite;
};

// Reads one message: a JSON object {"v":1,"doc":..,"el":..,"ev":..,"t":..,"inf":..} of at most
// 256 bytes, keys in any order, each once, blanks between tokens allowed. Anything else (another
// key, an escape, a nested value, a number out of range, trailing text) is nothing.
std::optional<MediaMessage> ParseMediaMessage(std::string_view text) noexcept;

// Whether `id` has the form of a document's id.
bool IsMediaDocId(std::string_view id) noexcept;

}  // namespace reprisa
