// The texts of the stored window placement: integers and four-number values as the registry holds
// them, the screen-size suffix of the position values, the default key path, the section pattern
// used when sections are erased, and the meaning of a stored show command.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace reprisa {

// A signed decimal integer: an optional '-' or '+' followed by at least one digit, nothing else
// (no blanks). A value outside the 32-bit signed range is not an integer. nullopt when the text
// is not an integer.
std::optional<std::int32_t> ParseIntegerText(std::wstring_view text);

// Reads up to four integers from a text split at runs of commas and spaces (leading delimiters
// skipped). Word n (1 to 4) is read with ParseIntegerText; a missing or non-integer word takes
// defaults[n - 1]. Words after the fourth are ignored.
std::array<std::int32_t, 4> ReadFourNumbers(std::wstring_view text,
                                            const std::array<std::int32_t, 4>& defaults);

// "a,b,c,d" in decimal (DecimalText of core/interval_text.h writes integers).
std::wstring FourNumbersText(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);

// "(<width>x<height>)", e.g. L"(1920x1080)"; appended to the names of the position values.
std::wstring ScreenSuffix(std::int32_t width, std::int32_t height);

// The executable's file name without its folder (after the last '\' or '/') and without its
// extension (from the last '.' of the file name on).
std::wstring ExecutableBaseName(std::wstring_view path);

// The key path used when none is set: "Software\<name>", or "Software\<company>\<name>" when a
// company is given. The name is the title when use_title is set and the title is not empty,
// otherwise the executable's base name.
std::wstring DefaultKeyPath(std::wstring_view executable_path, std::wstring_view title,
                            bool use_title, std::wstring_view company);

// A key path is taken below the root: one leading '\' is dropped.
std::wstring NormalizeKeyPath(std::wstring_view path);

// Case-sensitive wildcard match of the whole text: in the pattern '*' stands for any run of
// characters (also none) and '?' for exactly one character; every other character is literal.
bool WildcardMatch(std::wstring_view text, std::wstring_view pattern);

// Whether a subkey name belongs to a section when sections are erased: it equals the section or
// matches section + ".*" or section + "\*" (wildcards as in WildcardMatch, also inside the
// section name).
bool MatchesSectionPattern(std::wstring_view name, std::wstring_view section);

enum class StoredWindowState { Normal, Minimized, Maximized };

// The window state a stored show command asks for: 1, 5, 9 normal; 2, 6, 7 minimised;
// 3 maximised; nullopt for every other value (the state is then left as it is).
std::optional<StoredWindowState> StateFromShowCmd(std::int32_t cmd);

}  // namespace reprisa
