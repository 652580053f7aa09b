#include "gtk/locale_gtk.h"

#include <langinfo.h>
#include <locale.h>

#include <string>

#include "core/exceptions.h"
#include "core/utf8.h"
#include "gtk/gtk_ptr.h"

namespace reprisa {

namespace {

// The first character of a UTF-8 text as one UTF-16 unit; 0 when empty or outside the BMP.
wchar_t FirstChar(const std::string& text) {
  if (text.empty()) return 0;
  std::wstring wide = WidenUtf8(text);
  if (wide.empty() || wide[0] > 0xFFFF) return 0;
  return wide[0];
}

// The separator that follows the hours in a strftime format ("%H:%M:%S" gives ':'; "%H.%M" '.').
// The composite "%T" and "%R" mean "%H:%M:%S" and "%H:%M".
std::string TimeSeparatorOf(const std::string& format) {
  for (std::size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != '%') continue;
    char c = format[i + 1];
    std::size_t next = i + 2;
    if (c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0' || c == '^' || c == '#') {
      if (next >= format.size()) return "";
      c = format[next];
      ++next;
    }
    if (c == 'T' || c == 'R') return ":";
    if (c == 'H' || c == 'I' || c == 'k' || c == 'l') {
      std::string sep;
      while (next < format.size() && format[next] != '%') sep += format[next++];
      // Only a separator of its own, not the space before a designator.
      if (!sep.empty() && sep.find(' ') == std::string::npos) return sep;
      return "";
    }
    ++i;  // skip the conversion character
  }
  return "";
}

}  // namespace

LocaleSettings LocaleSettingsFrom(const char* time_format, const char* radix, const char* am,
                                  const char* pm) {
  LocaleSettings settings;  // the German defaults
  if (wchar_t sep = FirstChar(TimeSeparatorOf(time_format ? time_format : ""))) {
    settings.timeSeparator = sep;
  }
  if (wchar_t dec = FirstChar(radix ? radix : "")) settings.decimalSeparator = dec;
  settings.timeAMString = WidenUtf8(am ? am : "");
  settings.timePMString = WidenUtf8(pm ? pm : "");
  return settings;
}

LocaleSettings ReadCLocaleSettings() {
  // The locale's texts are in its own character set; the grammar works on UTF-16.
  auto utf8 = [](const char* text) {
    GString0 converted(text ? g_locale_to_utf8(text, -1, nullptr, nullptr, nullptr) : nullptr);
    return converted.str();
  };
  const lconv* conv = localeconv();
  return LocaleSettingsFrom(utf8(nl_langinfo(T_FMT)).c_str(),
                            utf8(conv ? conv->decimal_point : nullptr).c_str(),
                            utf8(nl_langinfo(AM_STR)).c_str(), utf8(nl_langinfo(PM_STR)).c_str());
}

}  // namespace reprisa
