// The text of an OLE/COM result code, as it is shown when a browser operation fails.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace reprisa {

// The text for a result code from the system's own description of it: trailing line breaks and
// blanks are trimmed; when nothing is left (the system knows no text for the code), a German
// text that names the code in hex, e.g. "Unbekannter Fehler 0x80004005".
std::wstring OleErrorText(std::int32_t code, std::wstring_view system_text);

// "Unbekannter Fehler 0x" followed by the code as eight upper-case hex digits.
std::wstring UnknownErrorText(std::int32_t code);

}  // namespace reprisa
