#include "core/interval_text.h"

#include <cstddef>
#include <iterator>

namespace reprisa {

namespace {

// Simple case folding for the designators: ASCII, Latin-1, Greek and Cyrillic capitals map to
// their small letters. Designators in other scripts compare exactly.
wchar_t FoldCase(wchar_t ch) {
  const std::uint32_t c = static_cast<std::uint32_t>(ch);
  if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + 0x20);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 0x20);
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<wchar_t>(c + 0x20);
  if (c >= 0x410 && c <= 0x42F) return static_cast<wchar_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<wchar_t>(c + 0x50);
  return ch;
}

class Scanner {
 public:
  explicit Scanner(std::wstring_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }

  // Blanks are spaces (U+0020) only.
  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == L' ') ++pos_;
  }

  // Takes the given character if the text continues with it.
  bool Take(wchar_t ch) {
    if (pos_ < text_.size() && text_[pos_] == ch) {
      ++pos_;
      return true;
    }
    return false;
  }

  // Takes a designator if the text continues with it, ignoring case. An empty designator never
  // matches.
  bool TakeDesignator(std::wstring_view designator) {
    if (designator.empty() || designator.size() > text_.size() - pos_) return false;
    for (std::size_t i = 0; i < designator.size(); ++i) {
      if (FoldCase(text_[pos_ + i]) != FoldCase(designator[i])) return false;
    }
    pos_ += designator.size();
    return true;
  }

  // Skips blanks, then reads decimal digits while the value read so far is below 1000, so the
  // value never exceeds 9999. At least one digit is required.
  std::optional<std::int32_t> ReadNumber() {
    SkipBlanks();
    std::int32_t value = 0;
    std::size_t digits = 0;
    while (pos_ < text_.size() && value < 1000 && text_[pos_] >= L'0' && text_[pos_] <= L'9') {
      value = value * 10 + static_cast<std::int32_t>(text_[pos_] - L'0');
      ++pos_;
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    return value;
  }

 private:
  std::wstring_view text_;
  std::size_t pos_ = 0;
};

enum class Marker { None, Morning, Afternoon };

Marker TakeMarker(Scanner& scan, const LocaleSettings& locale) {
  if (scan.TakeDesignator(locale.timeAMString) || scan.TakeDesignator(L"AM"))
    return Marker::Morning;
  if (scan.TakeDesignator(locale.timePMString) || scan.TakeDesignator(L"PM"))
    return Marker::Afternoon;
  return Marker::None;
}

}  // namespace

std::optional<IntervalTime> ParseIntervalTime(std::wstring_view text,
                                              const LocaleSettings& locale) {
  Scanner scan(text);
  IntervalTime t;

  scan.SkipBlanks();
  Marker marker = TakeMarker(scan, locale);
  if (marker != Marker::None) scan.SkipBlanks();

  // A; B only after a time separator, C only after B and another, D only after C and a decimal
  // separator.
  std::int32_t* const parts[] = {&t.a, &t.b, &t.c, &t.d};
  const wchar_t separators[] = {locale.timeSeparator, locale.timeSeparator,
                                locale.decimalSeparator};
  for (std::size_t i = 0; i < std::size(parts); ++i) {
    if (i > 0) {
      scan.SkipBlanks();
      if (!scan.Take(separators[i - 1])) break;
    }
    const auto number = scan.ReadNumber();
    if (!number) return std::nullopt;
    *parts[i] = *number;
  }

  if (marker == Marker::None) {
    scan.SkipBlanks();
    marker = TakeMarker(scan, locale);
  }

  if (marker != Marker::None) {
    if (t.a < 1 || t.a > 12) return std::nullopt;
    if (t.a == 12) t.a = 0;
    if (marker == Marker::Afternoon) t.a += 12;
  }

  scan.SkipBlanks();
  if (t.a >= 24 || t.b >= 60 || t.c >= 60 || t.d >= 1000 || !scan.AtEnd()) return std::nullopt;
  return t;
}

std::optional<std::int32_t> ParseIntervalText(std::wstring_view text,
                                              const LocaleSettings& locale) {
  auto t = ParseIntervalTime(text, locale);
  if (!t) return std::nullopt;
  return t->a * 60000 + t->b * 1000;
}

std::wstring DecimalText(std::int64_t value) {
  // Counted in the unsigned type, so that the most negative value has a magnitude too.
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  wchar_t digits[21];
  wchar_t* first = digits + 21;
  do {
    *--first = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = L'-';
  return std::wstring(first, digits + 21);
}

std::wstring TwoDigits(std::wstring text) {
  while (text.size() < 2) text.insert(text.begin(), L'0');
  return text;
}

std::wstring TimeText(std::int32_t ms) {
  const std::int32_t s = ms / 1000;
  const std::int32_t m = s / 60;
  const std::int32_t r = s - 60 * m;
  return TwoDigits(DecimalText(m)) + L":" + TwoDigits(DecimalText(r));
}

std::int32_t RemainingTime(std::int32_t interval, std::uint32_t now, std::uint32_t lasttimer) {
  const std::uint32_t elapsed = now - lasttimer;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(interval) - elapsed);
}

}  // namespace reprisa
