// The interval grammar's locale settings on Linux: read from the C library's locale, and taken by
// the main window when it applies an interval.
#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>

#include "core/exceptions.h"
#include "core/locale_settings.h"
#include "core/utf8.h"
#include "gtk/locale_gtk.h"
#include "gtk/main_window.h"
#include "gtk_test_support.h"

namespace reprisa {
namespace {

TEST(LocaleSettingsFrom, TakesSeparatorsAndDesignatorsFromTheLocale) {
  struct {
    const char *time_format, *radix, *am, *pm;
    wchar_t time_separator, decimal_separator;
  } cases[] = {
      {"%H:%M:%S", ",", "", "", L':', L','},     // German
      {"%r", ".", "AM", "PM", L':', L'.'},       // no hours in the format: the default
      {"%I.%M.%S %p", ".", "AM", "PM", L'.', L'.'},
      {"%T", ",", "", "", L':', L','},
      {"%Hh%M", ",", "", "", L'h', L','},
      {"%OH:%OM", "", "", "", L':', L','},        // no radix: the default
      {"", nullptr, nullptr, nullptr, L':', L','},
  };
  for (const auto& c : cases) {
    LocaleSettings s = LocaleSettingsFrom(c.time_format, c.radix, c.am, c.pm);
    EXPECT_EQ(s.timeSeparator, c.time_separator) << c.time_format;
    EXPECT_EQ(s.decimalSeparator, c.decimal_separator) << c.time_format;
    EXPECT_EQ(s.timeAMString, WidenUtf8(c.am ? c.am : "")) << c.time_format;
    EXPECT_EQ(s.timePMString, WidenUtf8(c.pm ? c.pm : "")) << c.time_format;
  }
}

// The C library's own locale: its radix '.' differs from the German default ',', and it has
// designators, so each value shows it came from the library.
TEST(ReadCLocaleSettings, ReadsTheLocaleInForce) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  LocaleSettings s = ReadCLocaleSettings();
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(s.timeSeparator, L':');
  EXPECT_EQ(s.decimalSeparator, L'.');
  EXPECT_EQ(s.timeAMString, L"AM");
  EXPECT_EQ(s.timePMString, L"PM");
}

// "Wert setzen" parses with the settings in force when the window was made.
TEST(MainWindowLocale, TheIntervalIsReadWithTheProcessSettings) {
  const LocaleSettings previous = CurrentLocaleSettings();
  SetCurrentLocaleSettings(
      {.timeSeparator = L'.', .timeAMString = L"vorm.", .timePMString = L"nachm."});
  testing_gtk::ScratchDir dir;
  auto window = std::make_unique<MainWindow>(
      AppFolders{dir / "config/reprisa.ini", dir / "data", dir / "cache"});
  SetCurrentLocaleSettings(previous);
  struct {
    const char* text;
    std::int32_t interval;  // 0: refused, the interval stays
  } cases[] = {
      {"04.30", 270000},
      {"04:30", 0},           // the German separator is not this locale's
      {"1.15 nachm.", 795000},  // the afternoon designator: 13 minutes 15 seconds
      {"12.05 vorm.", 5000},    // the morning designator: 0 minutes 5 seconds
      {"13.00 nachm.", 0},      // no 13 with a designator
  };
  for (const auto& c : cases) {
    window->ReloadTimer().SetInterval(180000);
    gtk_entry_set_text(GTK_ENTRY(window->interval_edit), c.text);
    gtk_button_clicked(GTK_BUTTON(window->apply_interval_button));
    EXPECT_EQ(window->ReloadTimer().Interval(), c.interval ? c.interval : 180000) << c.text;
  }
}

}  // namespace
}  // namespace reprisa
