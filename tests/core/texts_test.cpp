// The rights line's year, and the texts both builds show.
#include <gtest/gtest.h>

#include "core/texts.h"

namespace reprisa::texts {
namespace {

TEST(InsertYear, ReplacesOnlyTheFirstPlaceholder) {
  struct {
    const wchar_t* text;
    int year;
    const wchar_t* result;
  } cases[] = {
      {L"\u00A9 XXXX Velmora", 2026, L"\u00A9 2026 Velmora"},
      {L"XXXX-XXXX", 2027, L"2027-XXXX"},
      {L"(c) XXXX and XXXX", 2026, L"(c) 2026 and XXXX"},
      {L"XXX", 2026, L"XXX"},
      {L"no placeholder", 2026, L"no placeholder"},
      {L"", 2026, L""},
      {L"XXXXX", 10000, L"10000X"},
  };
  for (const auto& c : cases) EXPECT_EQ(InsertYear(c.text, c.year), c.result) << c.text;
}

TEST(InsertYear, TheRightsLineHoldsTheYear) {
  EXPECT_EQ(InsertYear(std::wstring(kCopyright), 2031),
            L"Copyright \u00A9 2031 Velmora. Alle Rechte vorbehalten.");
}

}  // namespace
}  // namespace reprisa::texts
