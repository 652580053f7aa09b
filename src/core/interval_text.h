// The interval text: how the text the user types becomes a reload interval, and how a number of
// milliseconds is written back as minutes and seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/locale_settings.h"

namespace reprisa {

// The largest interval a text can give: 23:59, read as 23 minutes 59 seconds.
inline constexpr std::int32_t kMaxTextInterval = 23 * 60000 + 59 * 1000;

// The parts of an interval text read like a time of day: A[:B[:C[<decimal>D]]] with an optional
// morning or afternoon marker before or after it. A is already adjusted for the marker.
struct IntervalTime {
  std::int32_t a = 0;
  std::int32_t b = 0;
  std::int32_t c = 0;
  std::int32_t d = 0;
};

// Reads an interval text under the given locale; nothing when the text is not valid.
std::optional<IntervalTime> ParseIntervalTime(std::wstring_view text,
                                              const LocaleSettings& locale);

// The reload interval an interval text gives, A × 60000 + B × 1000 ms (hours are taken as
// minutes and minutes as seconds; C and D are accepted and do not count); nothing when the text
// is not valid. A valid text gives 0 to kMaxTextInterval.
std::optional<std::int32_t> ParseIntervalText(std::wstring_view text,
                                              const LocaleSettings& locale);

// The decimal form of a number: a leading "-" when it is negative, no leading zeros. (Written
// here rather than taken from the library's formatted output, which would bring a whole printf
// into the Windows program.)
std::wstring DecimalText(std::int64_t value);

// Prefixes the text with "0" while it is shorter than two characters.
std::wstring TwoDigits(std::wstring text);

// Minutes and seconds of a signed millisecond count, "mm:ss". Both divisions truncate toward zero,
// so the seconds carry the sign of the count: -5000 gives "00:-5", -61000 gives "-1:-1".
std::wstring TimeText(std::int32_t ms);

// The time left of an interval that last started at tick count lasttimer:
// interval - (now - lasttimer), computed modulo 2^32 and read as signed 32-bit, so that it stays
// right when the tick count wraps around in between.
std::int32_t RemainingTime(std::int32_t interval, std::uint32_t now, std::uint32_t lasttimer);

}  // namespace reprisa
