// Text between the program's UTF-16 (wide) strings and the UTF-8 of files, GTK and the web.
// Malformed input never fails: each bad byte becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace reprisa {

std::wstring WidenUtf8(std::string_view text);
std::string NarrowUtf8(std::wstring_view text);

}  // namespace reprisa
