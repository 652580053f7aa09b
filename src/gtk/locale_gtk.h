// The interval grammar's locale settings from the C library's locale, as the user set it
// (setlocale(LC_ALL, "") must have run before).
#pragma once

#include "core/locale_settings.h"

namespace reprisa {

// The settings the C library's current locale gives. What it does not supply keeps the German
// default: the time separator is the character after the hours in the locale's time format,
// the decimal separator the first character of its radix, the designators its AM and PM texts.
LocaleSettings ReadCLocaleSettings();

// The same reading from the raw texts (so that it can be checked for any locale):
// time_format is like "%H:%M:%S", radix like ",", am/pm may be empty.
LocaleSettings LocaleSettingsFrom(const char* time_format, const char* radix, const char* am,
                                  const char* pm);

}  // namespace reprisa
