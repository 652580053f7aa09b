// The user's locale settings that the interval text grammar depends on. They are read once at
// start-up and then passed by value, so that the grammar can be exercised under any locale.
#pragma once

#include <string>

namespace reprisa {

struct LocaleSettings {
  wchar_t timeSeparator = L':';
  wchar_t decimalSeparator = L',';
  std::wstring timeAMString;  // morning designator; empty: none
  std::wstring timePMString;  // afternoon designator; empty: none
};

// The settings in force for this process. Until start-up installs the user's settings, these are
// the German ones: ":", ",", and no designators.
const LocaleSettings& CurrentLocaleSettings() noexcept;

// Installs the process-wide settings; called once at start-up, before any window exists.
void SetCurrentLocaleSettings(LocaleSettings settings);

#ifdef _WIN32
// Reads the user's settings from the system (defined in locale_settings_win.cpp). A value the
// system does not supply keeps its German default.
LocaleSettings ReadUserLocaleSettings();
#endif

}  // namespace reprisa
