#include "core/ole_error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace reprisa {
namespace {

struct TextCase {
  std::int32_t code;
  std::wstring system_text;
  std::wstring expected;
};

class OleErrorTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(OleErrorTextTest, TrimsOrFallsBack) {
  const TextCase& c = GetParam();
  EXPECT_EQ(OleErrorText(c.code, c.system_text), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OleErrorTextTest,
    ::testing::Values(
        // The system's text loses its line break and trailing blanks, nothing else.
        TextCase{static_cast<std::int32_t>(0x80004005), L"Unspecified error\r\n",
                 L"Unspecified error"},
        TextCase{static_cast<std::int32_t>(0x80004001), L"Not implemented. \r\n \t",
                 L"Not implemented."},
        TextCase{1, L"  leading blanks stay\n", L"  leading blanks stay"},
        TextCase{2, L"line one\r\nline two\r\n", L"line one\r\nline two"},
        // No text (or only blanks) from the system: the code in hex, eight digits, upper case.
        TextCase{static_cast<std::int32_t>(0x80004005), L"", L"Unbekannter Fehler 0x80004005"},
        TextCase{static_cast<std::int32_t>(0x800C000E), L"\r\n  ",
                 L"Unbekannter Fehler 0x800C000E"},
        TextCase{static_cast<std::int32_t>(0x8FFFABCD), std::wstring(1, L'\0'),
                 L"Unbekannter Fehler 0x8FFFABCD"},
        TextCase{0x1F, L"", L"Unbekannter Fehler 0x0000001F"},
        TextCase{static_cast<std::int32_t>(0xFFFFFFFF), L"", L"Unbekannter Fehler 0xFFFFFFFF"}));

}  // namespace
}  // namespace reprisa
