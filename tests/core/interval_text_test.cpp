// The interval text grammar under several locales, the time text and the remaining time.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>

#include "core/exceptions.h"
#include "core/interval_text.h"
#include "core/locale_settings.h"
#include "core/utf8.h"

namespace reprisa {
namespace {

enum class Loc { German, English, DotTime, DotBoth, Designators };

LocaleSettings MakeLocale(Loc loc) {
  switch (loc) {
    case Loc::German: return {L':', L',', L"", L""};
    case Loc::English: return {L':', L'.', L"AM", L"PM"};
    case Loc::DotTime: return {L'.', L',', L"", L""};
    case Loc::DotBoth: return {L'.', L'.', L"", L""};
    case Loc::Designators: return {L':', L',', L"vorm.", L"nachm."};
  }
  return {};
}

struct TextRow {
  Loc loc;
  const wchar_t* text;
  std::optional<std::int32_t> expected;  // nothing: invalid
};

void PrintTo(const TextRow& row, std::ostream* os) {
  *os << "locale " << static_cast<int>(row.loc) << " text \"" << NarrowUtf8(row.text) << "\"";
}

class IntervalText : public testing::TestWithParam<TextRow> {};

TEST_P(IntervalText, ReadsAsExpected) {
  const TextRow& row = GetParam();
  EXPECT_EQ(ParseIntervalText(row.text, MakeLocale(row.loc)), row.expected);
}

constexpr std::nullopt_t kInvalid = std::nullopt;

// The documented rows, read under every locale: ":" stands for the locale's time separator, ","
// for its decimal separator.
struct Row {
  const wchar_t* text;
  std::optional<std::int32_t> expected;  // nothing: invalid
};

void PrintTo(const Row& row, std::ostream* os) { *os << '"' << NarrowUtf8(row.text) << '"'; }

const Row kEveryLocaleRows[] = {
    {L"03:00", 180000},   {L"3", 180000},          {L"3:00:59", 180000},  {L"  3 : 00  ", 180000},
    {L"00:30", 30000},    {L"23:59", 1439000},     {L"24:00", kInvalid},  {L"1:60", kInvalid},
    {L"", kInvalid},      {L"abc", kInvalid},      {L"-1:00", kInvalid},  {L"3:", kInvalid},
    {L"12345", kInvalid}, {L"12:30 PM", 750000},   {L"12:30 AM", 30000},  {L"13:00 PM", kInvalid},
    {L"PM 1:00", 780000}, {L"3:00,5", kInvalid},   {L"3:00:00,5", 180000},
};

class IntervalTextEveryLocale : public testing::TestWithParam<std::tuple<Loc, Row>> {};

TEST_P(IntervalTextEveryLocale, ReadsAsExpected) {
  const auto& [loc, row] = GetParam();
  const LocaleSettings settings = MakeLocale(loc);
  std::wstring text = row.text;
  for (wchar_t& c : text) {
    if (c == L':') c = settings.timeSeparator;
    else if (c == L',') c = settings.decimalSeparator;
  }
  EXPECT_EQ(ParseIntervalText(text, settings), row.expected) << NarrowUtf8(text);
}

INSTANTIATE_TEST_SUITE_P(Rows, IntervalTextEveryLocale,
                         testing::Combine(testing::Values(Loc::German, Loc::English, Loc::DotTime),
                                          testing::ValuesIn(kEveryLocaleRows)));

// What only some locales read so.
const TextRow kLocaleRows[] = {
    {Loc::German, L"4.30", kInvalid},    {Loc::English, L"4.30", kInvalid},
    {Loc::English, L"12:30 am", 30000},  {Loc::English, L"3:00:00,5", kInvalid},
    {Loc::DotTime, L"4.30", 270000},     {Loc::DotTime, L"4:30", kInvalid},
    {Loc::DotTime, L"03:00", kInvalid},
    // The same character as time and decimal separator: the third one starts the decimals.
    {Loc::DotBoth, L"3.00.00.5", 180000}, {Loc::DotBoth, L"3.00.00.", kInvalid},
    {Loc::DotBoth, L"3.00.00.5.1", kInvalid},
};
INSTANTIATE_TEST_SUITE_P(Locales, IntervalText, testing::ValuesIn(kLocaleRows));

// The fine points of the grammar, under the German locale.
class IntervalTextGrammar : public testing::TestWithParam<Row> {};

TEST_P(IntervalTextGrammar, ReadsAsExpected) {
  EXPECT_EQ(ParseIntervalText(GetParam().text, MakeLocale(Loc::German)), GetParam().expected);
}

const Row kGrammarRows[] = {
    // Blanks are spaces only.
    {L"\t3:00", kInvalid}, {L"3:00\t", kInvalid}, {L"3:00\u00A0", kInvalid}, {L" ", kInvalid},
    {L"3 :00 : 59 , 5 ", 180000},
    // Leading zeros are free; a digit run stops once its value reaches 1000.
    {L"00000000000003:00", 180000}, {L"1:0000000005", 65000},
    {L"99999999999999999999999", kInvalid}, {L"1:99999999999999999999", kInvalid},
    {L"1000", kInvalid}, {L"3:5", 185000}, {L"0", 0}, {L"00:00", 0},
    // Numbers only after their separators, in order, each one required once its separator is.
    {L"3 0", kInvalid}, {L"3::00", kInvalid}, {L":30", kInvalid}, {L"3:00:", kInvalid},
    {L"3:00:00,", kInvalid}, {L"3:00:00:00", kInvalid}, {L"3,5", kInvalid},
    {L"3:00:60", kInvalid}, {L"3:00:59,999", 180000}, {L"3:00:59,1000", kInvalid},
    // Markers: before or after, any case, once; "AM"/"PM" always; hour 1 to 12 with a marker.
    {L"pm 1:00", 780000}, {L"1:00pM", 780000}, {L"12:30PM", 750000}, {L"AM12", 0},
    {L"am 12:05:30,5", 5000}, {L"11:59 PM", 1439000}, {L"12 PM", 720000}, {L"0 AM", kInvalid},
    {L"0:30 PM", kInvalid}, {L"AM 1:00 PM", kInvalid}, {L"1:00 AM AM", kInvalid},
    {L"AM", kInvalid}, {L"A 1:00", kInvalid}, {L"1:00 P", kInvalid}, {L"1:00 PMx", kInvalid},
    {L"3:00 AM  ", 180000},
};
INSTANTIATE_TEST_SUITE_P(German, IntervalTextGrammar, testing::ValuesIn(kGrammarRows));

// Locale designators, matched without regard to case; "AM"/"PM" stay accepted beside them.
const TextRow kDesignatorRows[] = {
    {Loc::Designators, L"vorm. 12:30", 30000},  {Loc::Designators, L"VORM.12:30", 30000},
    {Loc::Designators, L"1:00 Nachm.", 780000}, {Loc::Designators, L"1:00 nachm", kInvalid},
    {Loc::Designators, L"1:00 PM", 780000},     {Loc::Designators, L"AM 12", 0},
    {Loc::Designators, L"nachm. 1:00 PM", kInvalid},
    {Loc::Designators, L"13:00 nachm.", kInvalid},
};
INSTANTIATE_TEST_SUITE_P(Designators, IntervalText, testing::ValuesIn(kDesignatorRows));

TEST(IntervalTextCase, FoldsLettersBeyondAscii) {
  const LocaleSettings greek{L':', L',', L"\u03C0\u03BC", L"\u03BC\u03BC"};  // "πμ", "μμ"
  EXPECT_EQ(ParseIntervalText(L"1:00 \u039C\u039C", greek), 780000);  // "ΜΜ"
  const LocaleSettings latin1{L':', L',', L"\u00E0m", L"\u00E9m"};     // "àm", "ém"
  EXPECT_EQ(ParseIntervalText(L"\u00C9M 1:00", latin1), 780000);       // "ÉM"
}

TEST(IntervalTextParts, KeepsSecondsAndFractionApart) {
  const auto t = ParseIntervalTime(L"PM 1:02:03,456", MakeLocale(Loc::German));
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->a, 13);
  EXPECT_EQ(t->b, 2);
  EXPECT_EQ(t->c, 3);
  EXPECT_EQ(t->d, 456);
}

TEST(IntervalTextBounds, NeverReadsPastTheEndOfAView) {
  // The view ends before the digits and designator that follow it in memory.
  const std::wstring text = L"3:0059 PM";
  const LocaleSettings german = MakeLocale(Loc::German);
  EXPECT_EQ(ParseIntervalText(std::wstring_view(text).substr(0, 2), german), kInvalid);
  EXPECT_EQ(ParseIntervalText(std::wstring_view(text).substr(0, 4), german), 180000);
  EXPECT_EQ(ParseIntervalText(std::wstring_view(text).substr(0, 8), german), kInvalid);
}

struct TimeRow {
  std::int32_t ms;
  const wchar_t* text;
};

class TimeTextTable : public testing::TestWithParam<TimeRow> {};

TEST_P(TimeTextTable, WritesMinutesAndSeconds) {
  EXPECT_EQ(TimeText(GetParam().ms), GetParam().text);
}

const TimeRow kTimeRows[] = {
    {180000, L"03:00"},   {270000, L"04:30"},  {59999, L"00:59"},    {999, L"00:00"},
    {0, L"00:00"},        {-500, L"00:00"},    {-5000, L"00:-5"},    {-60000, L"-1:00"},
    {-61000, L"-1:-1"},   {1439000, L"23:59"}, {6000000, L"100:00"}, {-600000, L"-10:00"},
    {-659000, L"-10:-59"}, {std::numeric_limits<std::int32_t>::max(), L"35791:23"},
    {std::numeric_limits<std::int32_t>::min(), L"-35791:-23"},
};
INSTANTIATE_TEST_SUITE_P(Rows, TimeTextTable, testing::ValuesIn(kTimeRows));

TEST(DecimalTextRule, MinusSignAndNoLeadingZeros) {
  const struct {
    std::int64_t value;
    const wchar_t* text;
  } rows[] = {{0, L"0"},         {7, L"7"},       {-5, L"-5"},         {10, L"10"},
              {-100, L"-100"},  {2026, L"2026"}, {INT32_MAX, L"2147483647"},
              {INT32_MIN, L"-2147483648"},       {INT64_MAX, L"9223372036854775807"},
              {INT64_MIN, L"-9223372036854775808"}};
  for (const auto& row : rows) EXPECT_EQ(DecimalText(row.value), row.text) << row.text;
}

TEST(TwoDigitRule, PadsOnlyShortTexts) {
  for (auto [text, padded] : {std::pair{L"5", L"05"}, {L"0", L"00"}, {L"", L"00"},
                              {L"12", L"12"}, {L"123", L"123"}, {L"-5", L"-5"}})
    EXPECT_EQ(TwoDigits(text), padded) << NarrowUtf8(text);
}

struct RemainingRow {
  std::int32_t interval;
  std::uint32_t now;
  std::uint32_t lasttimer;
  std::int32_t expected;
};

class RemainingTimeTable : public testing::TestWithParam<RemainingRow> {};

TEST_P(RemainingTimeTable, IsIntervalLessElapsed) {
  const RemainingRow& r = GetParam();
  EXPECT_EQ(RemainingTime(r.interval, r.now, r.lasttimer), r.expected);
}

const RemainingRow kRemainingRows[] = {
    {180000, 5000, 5000, 180000},
    {180000, 6500, 5000, 178500},
    {180000, 185000, 5000, 0},
    {180000, 186000, 5000, -1000},
    // The tick count wrapped between the stamp and now.
    {180000, 0x00000100u, 0xFFFFFF00u, 180000 - 0x200},
    {180000, 500u, 0xFFFFFC18u, 178500},
    {180000, 0u, 0xFFFFFFFFu, 179999},
    // Stopped timer: the countdown runs into negative values.
    {0, 61000, 0, -61000},
    // A stamp taken after now (the tick count read out of order) gives more than the interval.
    {180000, 4500, 5000, 180500},
    // Far past the interval: the arithmetic stays modulo 2^32, read as signed.
    {1439000, 0x80000000u, 0u, static_cast<std::int32_t>(1439000u - 0x80000000u)},
};
INSTANTIATE_TEST_SUITE_P(Rows, RemainingTimeTable, testing::ValuesIn(kRemainingRows));

TEST(LocaleSettingsDefault, IsGermanUntilStartUpInstallsOne) {
  const LocaleSettings saved = CurrentLocaleSettings();
  SetCurrentLocaleSettings(LocaleSettings{});
  EXPECT_EQ(CurrentLocaleSettings().timeSeparator, L':');
  EXPECT_EQ(CurrentLocaleSettings().decimalSeparator, L',');
  EXPECT_TRUE(CurrentLocaleSettings().timeAMString.empty());
  EXPECT_TRUE(CurrentLocaleSettings().timePMString.empty());
  SetCurrentLocaleSettings(MakeLocale(Loc::English));
  EXPECT_EQ(CurrentLocaleSettings().timePMString, L"PM");
  SetCurrentLocaleSettings(saved);
}

}  // namespace
}  // namespace reprisa
