// The texts of the stored window placement: integers, four-number values, key paths, the
// section pattern and the stored show command.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/exceptions.h"
#include "core/interval_text.h"
#include "core/placement_values.h"
#include "core/utf8.h"

namespace reprisa {
namespace {

TEST(PlacementValuesTest, ParseIntegerText) {
  const struct {
    const wchar_t* text;
    std::optional<std::int32_t> expected;
  } cases[] = {
      {L"0", 0},           {L"42", 42},          {L"-5", -5},
      {L"+3", 3},          {L"007", 7},          {L"2147483647", 2147483647},
      {L"-2147483648", INT32_MIN},               {L"2147483648", std::nullopt},
      {L"-2147483649", std::nullopt},            {L"99999999999", std::nullopt},
      {L"", std::nullopt}, {L"-", std::nullopt}, {L"+", std::nullopt},
      {L" 1", std::nullopt}, {L"1 ", std::nullopt}, {L"1x", std::nullopt},
      {L"--1", std::nullopt}, {L"0x10", std::nullopt}, {L"\x0661", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseIntegerText(c.text), c.expected) << NarrowUtf8(c.text);
}

TEST(PlacementValuesTest, IntegerAndNumberTexts) {
  EXPECT_EQ(ParseIntegerText(DecimalText(INT32_MIN)), INT32_MIN);
  EXPECT_EQ(FourNumbersText(-1, 2, -32000, 1080), L"-1,2,-32000,1080");
  EXPECT_EQ(ScreenSuffix(1920, 1080), L"(1920x1080)");
  EXPECT_EQ(L"NormPos" + ScreenSuffix(800, 600), L"NormPos(800x600)");
}

TEST(PlacementValuesTest, ReadFourNumbers) {
  const std::array<std::int32_t, 4> d{10, 20, 30, 40};
  const struct {
    const wchar_t* text;
    std::array<std::int32_t, 4> expected;
  } cases[] = {
      {L"1,2,3,4", {1, 2, 3, 4}},
      {L"1,2", {1, 2, 30, 40}},
      {L"", {10, 20, 30, 40}},
      {L" , ,", {10, 20, 30, 40}},
      {L",,5 , 6,7,8", {5, 6, 7, 8}},
      {L"a,2,x,4", {10, 2, 30, 4}},
      {L"1 2 3 4 5", {1, 2, 3, 4}},
      {L"-5,+6,99999999999,-2147483648", {-5, 6, 30, INT32_MIN}},
      {L"1;2,3,4", {10, 3, 4, 40}},  // ';' is no delimiter: "1;2" is one bad word
      {L"1\t2,3", {10, 3, 30, 40}},   // nor is a tab
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadFourNumbers(c.text, d), c.expected) << NarrowUtf8(c.text);
  // What is written reads back unchanged.
  EXPECT_EQ(ReadFourNumbers(FourNumbersText(-8, -8, INT32_MAX, INT32_MIN), d),
            (std::array<std::int32_t, 4>{-8, -8, INT32_MAX, INT32_MIN}));
}

TEST(PlacementValuesTest, KeyPaths) {
  EXPECT_EQ(ExecutableBaseName(L"C:\\Program Files\\Player.exe"), L"Player");
  EXPECT_EQ(ExecutableBaseName(L"/opt/bin/my.player.exe"), L"my.player");
  EXPECT_EQ(ExecutableBaseName(L"C:\\v1.2\\Player"), L"Player");  // a folder's dot is no extension
  EXPECT_EQ(ExecutableBaseName(L"Player.exe"), L"Player");

  const wchar_t* exe = L"C:\\Apps\\Player.exe";
  EXPECT_EQ(DefaultKeyPath(exe, L"Title", false, L""), L"Software\\Player");
  EXPECT_EQ(DefaultKeyPath(exe, L"Title", true, L""), L"Software\\Title");
  EXPECT_EQ(DefaultKeyPath(exe, L"", true, L""), L"Software\\Player");
  EXPECT_EQ(DefaultKeyPath(exe, L"Title", true, L"Acme"), L"Software\\Acme\\Title");
  EXPECT_EQ(DefaultKeyPath(exe, L"", false, L"Acme"), L"Software\\Acme\\Player");

  EXPECT_EQ(NormalizeKeyPath(L"\\Software\\X"), L"Software\\X");
  EXPECT_EQ(NormalizeKeyPath(L"\\\\X"), L"\\X");
  EXPECT_EQ(NormalizeKeyPath(L"Software\\X"), L"Software\\X");
  EXPECT_EQ(NormalizeKeyPath(L""), L"");
}

TEST(PlacementValuesTest, WildcardAndSectionPattern) {
  const struct {
    const wchar_t* text;
    const wchar_t* pattern;
    bool expected;
  } wild[] = {
      {L"", L"", true},         {L"", L"*", true},        {L"a", L"", false},
      {L"abc", L"a*c", true},   {L"ac", L"a*c", true},    {L"abcb", L"a*b", true},
      {L"abcd", L"a*c", false}, {L"abc", L"a?c", true},   {L"ac", L"a?c", false},
      {L"ABC", L"abc", false},  {L"a*c", L"a*c", true},   {L"aXbYc", L"a*b*c", true},
      {L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", L"*a*a*a*a*a*a*a*a*c", false},
  };
  for (const auto& c : wild)
    EXPECT_EQ(WildcardMatch(c.text, c.pattern), c.expected)
        << NarrowUtf8(c.text) << " / " << NarrowUtf8(c.pattern);

  const struct {
    const wchar_t* name;
    const wchar_t* section;
    bool expected;
  } sections[] = {
      {L"TMainForm", L"TMainForm", true},   {L"TMainForm.Grid", L"TMainForm", true},
      {L"TMainForm.", L"TMainForm", true},  {L"TMainForm\\Sub", L"TMainForm", true},
      {L"TMainForm2", L"TMainForm", false}, {L"tmainform", L"TMainForm", false},
      {L"XTMainForm.a", L"TMainForm", false}, {L"TMain", L"TMainForm", false},
      {L"A1.x", L"A?", true},               {L"Any.thing", L"*", true},
      {L"Anything", L"*", false},  // "*.*" and "*\\*" both need a delimiter
  };
  for (const auto& c : sections)
    EXPECT_EQ(MatchesSectionPattern(c.name, c.section), c.expected) << NarrowUtf8(c.name);
}

TEST(PlacementValuesTest, StateFromShowCmd) {
  using S = StoredWindowState;
  const struct {
    std::int32_t cmd;
    std::optional<S> expected;
  } cases[] = {
      {-1, std::nullopt}, {0, std::nullopt}, {1, S::Normal},     {2, S::Minimized},
      {3, S::Maximized},  {4, std::nullopt}, {5, S::Normal},     {6, S::Minimized},
      {7, S::Minimized},  {8, std::nullopt}, {9, S::Normal},     {10, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(StateFromShowCmd(c.cmd), c.expected) << c.cmd;
}

}  // namespace
}  // namespace reprisa
