#include <windows.h>

#include "core/locale_settings.h"

namespace reprisa {

namespace {

// The locale's text for one item, or nothing when the system cannot supply it.
bool ReadLocaleText(LCTYPE item, std::wstring& out) {
  wchar_t buffer[128];
  int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, ARRAYSIZE(buffer));
  if (length <= 0) return false;
  out.assign(buffer, static_cast<std::size_t>(length - 1));  // length counts the terminator
  return true;
}

}  // namespace

LocaleSettings ReadUserLocaleSettings() {
  LocaleSettings settings;
  std::wstring text;
  // The grammar takes the separators as single characters: the first one of the locale's text.
  if (ReadLocaleText(LOCALE_STIME, text) && !text.empty()) settings.timeSeparator = text[0];
  if (ReadLocaleText(LOCALE_SDECIMAL, text) && !text.empty()) settings.decimalSeparator = text[0];
  if (ReadLocaleText(LOCALE_S1159, text)) settings.timeAMString = text;
  if (ReadLocaleText(LOCALE_S2359, text)) settings.timePMString = text;
  return settings;
}

}  // namespace reprisa
