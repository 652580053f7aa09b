// Fuzzes the interval text grammar: no crash, no read past the end, and every accepted text gives
// an interval between 0 and 23:59 that its time text reads back to.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/interval_text.h"

namespace {

using reprisa::LocaleSettings;

const LocaleSettings kLocales[] = {
    {L':', L',', L"", L""},              // German
    {L':', L'.', L"AM", L"PM"},          // English
    {L'.', L',', L"", L""},              // time separator "."
    {L':', L',', L"vorm.", L"nachm."},   // designators of their own
};

// Bytes mapped onto the characters the grammar cares about, so that most inputs get far.
constexpr wchar_t kAlphabet[] = {
    L'0', L'1', L'2', L'3', L'4', L'5', L'6', L'7', L'8', L'9', L':', L'.', L',', L' ', L'A',
    L'M', L'P', L'a', L'm', L'p', L'\t', L'-', L'v', L'o', L'r', L'n', L'c', L'h', L'x', L'\0',
    L'\u00A0', L'\u3000'};

constexpr std::size_t kAlphabetSize = sizeof(kAlphabet) / sizeof(kAlphabet[0]);

// A locale made from the input itself: separators and designators may be blanks, digits, equal
// to each other or prefixes of one another. Only the range is checked for it: with such settings a
// time text need not read back.
LocaleSettings LocaleFrom(const std::uint8_t*& data, std::size_t& size) {
  LocaleSettings locale;
  auto next = [&]() -> wchar_t {
    if (size == 0) return L'a';
    --size;
    return kAlphabet[*data++ % kAlphabetSize];
  };
  locale.timeSeparator = next();
  locale.decimalSeparator = next();
  for (std::wstring* designator : {&locale.timeAMString, &locale.timePMString}) {
    const std::size_t length = size > 0 ? (*data % 4) : 0;
    if (size > 0) {
      ++data;
      --size;
    }
    for (std::size_t i = 0; i < length; ++i) designator->push_back(next());
  }
  return locale;
}

bool InRange(const std::optional<std::int32_t>& interval) {
  return *interval >= 0 && *interval <= reprisa::kMaxTextInterval && *interval % 1000 == 0;
}

void Check(std::wstring_view text, const LocaleSettings& locale) {
  const auto interval = reprisa::ParseIntervalText(text, locale);
  if (!interval) return;
  if (!InRange(interval)) abort();
  // The time text always uses ":"; write it with the locale's own separator to read it back.
  std::wstring back = reprisa::TimeText(*interval);
  for (wchar_t& ch : back) {
    if (ch == L':') ch = locale.timeSeparator;
  }
  if (reprisa::ParseIntervalText(back, locale) != interval) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];
  ++data;
  --size;
  const LocaleSettings own = (mode & 2) ? LocaleFrom(data, size) : LocaleSettings{};

  // An exactly sized heap buffer, so that a read past the end is caught.
  std::size_t length;
  std::unique_ptr<wchar_t[]> buffer;
  if (mode & 1) {
    // Raw UTF-16 code units, little endian.
    length = size / 2;
    buffer = std::make_unique<wchar_t[]>(length);
    for (std::size_t i = 0; i < length; ++i)
      buffer[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
  } else {
    length = size;
    buffer = std::make_unique<wchar_t[]>(length);
    for (std::size_t i = 0; i < length; ++i)
      buffer[i] = kAlphabet[data[i] % kAlphabetSize];
  }
  const std::wstring_view text(buffer.get(), length);
  for (const LocaleSettings& locale : kLocales) Check(text, locale);
  if (mode & 2) {
    const auto interval = reprisa::ParseIntervalText(text, own);
    if (interval && !InRange(interval)) abort();
  }
  return 0;
}
