#include "core/media_message.h"

#include <algorithm>
#include <cmath>

namespace reprisa {

namespace {

constexpr std::size_t kMaxMessageBytes = 256;
constexpr std::size_t kMinDocChars = 6;
constexpr std::size_t kMaxDocChars = 16;
constexpr std::uint32_t kMaxElement = 999999;
constexpr double kMaxTime = 1e9;

// A cursor over the message with the few tokens the message has: strings without escapes,
// numbers in JSON's grammar, true and false.
class Reader {
 public:
  explicit Reader(std::string_view text) noexcept : text_(text) {}

  bool Take(char ch) noexcept {
    SkipBlanks();
    if (pos_ == text_.size() || text_[pos_] != ch) return false;
    ++pos_;
    return true;
  }
  bool AtEnd() noexcept {
    SkipBlanks();
    return pos_ == text_.size();
  }
  // A string's contents; none of our keys or values needs an escape, so a backslash is refused.
  std::optional<std::string_view> String() noexcept {
    if (!Take('"')) return std::nullopt;
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      const auto ch = static_cast<unsigned char>(text_[pos_]);
      if (ch == '\\' || ch < 0x20) return std::nullopt;
      ++pos_;
    }
    if (pos_ == text_.size()) return std::nullopt;
    return text_.substr(start, pos_++ - start);
  }
  // A number's text as JSON writes it: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  std::optional<std::string_view> Number() noexcept {
    SkipBlanks();
    const std::size_t start = pos_;
    Skip('-');
    if (Skip('0')) {
    } else if (Digits() == 0) {
      return std::nullopt;
    }
    if (Skip('.') && Digits() == 0) return std::nullopt;
    if (Skip('e') || Skip('E')) {
      if (!Skip('+')) Skip('-');
      if (Digits() == 0) return std::nullopt;
    }
    return text_.substr(start, pos_ - start);
  }
  std::optional<bool> Boolean() noexcept {
    SkipBlanks();
    for (const bool value : {true, false}) {
      const std::string_view word = value ? "true" : "false";
      if (text_.substr(pos_, word.size()) == word) {
        pos_ += word.size();
        return value;
      }
    }
    return std::nullopt;
  }

 private:
  void SkipBlanks() noexcept {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\n' || text_[pos_] == '\r'))
      ++pos_;
  }
  bool Skip(char ch) noexcept {
    if (pos_ == text_.size() || text_[pos_] != ch) return false;
    ++pos_;
    return true;
  }
  std::size_t Digits() noexcept {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return pos_ - start;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::optional<MediaEvent> EventNamed(std::string_view name) noexcept {
  constexpr struct {
    std::string_view name;
    MediaEvent event;
  } kEvents[] = {{"play", MediaEvent::Play},   {"time", MediaEvent::Time},
                 {"pause", MediaEvent::Pause}, {"end", MediaEvent::End},
                 {"error", MediaEvent::Error}, {"wait", MediaEvent::Wait},
                 {"bye", MediaEvent::Bye},     {"want", MediaEvent::Want}};
  for (const auto& e : kEvents) {
    if (e.name == name) return e.event;
  }
  return std::nullopt;
}

bool IsDocId(std::string_view id) noexcept {
  return id.size() >= kMinDocChars && id.size() <= kMaxDocChars &&
         std::all_of(id.begin(), id.end(), [](char ch) {
           return (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9');
         });
}

// An element's number: digits only, at most kMaxElement (the number's form has no leading zero).
std::optional<std::uint32_t> ElementNumber(std::string_view number) noexcept {
  if (number.empty() || number.size() > 6 ||
      !std::all_of(number.begin(), number.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
    return std::nullopt;
  std::uint32_t value = 0;
  for (const char ch : number) value = value * 10 + static_cast<std::uint32_t>(ch - '0');
  if (value > kMaxElement) return std::nullopt;
  return value;
}

// A time's value, from a number whose form the reader checked, to the millisecond (the script
// sends no finer; the rounding also makes a time read back the same after it was written out).
// Read digit by digit rather than with the standard library's float reader, which is 40 KiB of
// the Windows program for a value that needs no more.
std::optional<double> TimeValue(std::string_view number) noexcept {
  std::size_t i = 0;
  const bool negative = i < number.size() && number[i] == '-';
  if (negative) ++i;
  std::uint64_t digits = 0;
  int exponent = 0;
  bool fraction = false;
  for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
    if (number[i] == '.') {
      fraction = true;
    } else if (digits < 100000000000000000u) {  // 17 digits are all a double holds
      digits = digits * 10 + static_cast<std::uint64_t>(number[i] - '0');
      if (fraction) --exponent;
    } else if (!fraction) {
      ++exponent;
    }
  }
  if (i < number.size()) {  // the exponent, held short of what could overflow
    const bool down = number[++i] == '-';
    if (number[i] == '-' || number[i] == '+') ++i;
    int e = 0;
    for (; i < number.size(); ++i) e = std::min(e * 10 + (number[i] - '0'), 100000);
    exponent += down ? -e : e;
  }
  if (digits == 0) return 0.0;  // -0 is 0
  if (negative || exponent > 9) return std::nullopt;
  double value = static_cast<double>(digits);
  for (; exponent > 0; --exponent) value *= 10;
  for (; exponent < 0 && value > 0; ++exponent) value /= 10;
  value = std::round(value * 1000) / 1000;
  if (!(value < kMaxTime)) return std::nullopt;
  return value;
}

// The fields read so far, each at most once.
struct Fields {
  static constexpr unsigned kV = 1, kDoc = 2, kEl = 4, kEv = 8, kT = 16, kInf = 32;
  unsigned seen = 0;
  std::string_view doc;
  std::uint32_t element = 0;
  MediaEvent event = MediaEvent::Bye;
  double time = 0;
  bool infinite = false;
};

// Reads one key's value into `fields`; the bit of the key read, or 0 when it is not ours or its
// value is not of its form.
unsigned ReadField(std::string_view key, Reader& in, Fields& fields) noexcept {
  if (key == "v") {
    const auto number = in.Number();
    return number && *number == "1" ? Fields::kV : 0;
  }
  if (key == "doc") {
    const auto id = in.String();
    if (!id || !IsDocId(*id)) return 0;
    fields.doc = *id;
    return Fields::kDoc;
  }
  if (key == "el") {
    const auto number = in.Number();
    const auto value = number ? ElementNumber(*number) : std::nullopt;
    fields.element = value.value_or(0);
    return value ? Fields::kEl : 0;
  }
  if (key == "ev") {
    const auto name = in.String();
    const auto value = name ? EventNamed(*name) : std::nullopt;
    fields.event = value.value_or(MediaEvent::Bye);
    return value ? Fields::kEv : 0;
  }
  if (key == "t") {
    const auto number = in.Number();
    const auto value = number ? TimeValue(*number) : std::nullopt;
    fields.time = value.value_or(0);
    return value ? Fields::kT : 0;
  }
  if (key == "inf") {
    const auto value = in.Boolean();
    fields.infinite = value.value_or(false);
    return value ? Fields::kInf : 0;
  }
  return 0;
}

}  // namespace

std::optional<MediaMessage> ParseMediaMessage(std::string_view text) noexcept {
  if (text.size() > kMaxMessageBytes) return std::nullopt;
  Fields f;
  Reader in(text);
  if (!in.Take('{')) return std::nullopt;
  do {
    const auto key = in.String();
    if (!key || !in.Take(':')) return std::nullopt;
    const unsigned bit = ReadField(*key, in, f);
    if (bit == 0 || (f.seen & bit)) return std::nullopt;
    f.seen |= bit;
  } while (in.Take(','));
  if (!in.Take('}') || !in.AtEnd()) return std::nullopt;

  // A document going away names no element and no time; every other fact names both.
  const bool bye = f.event == MediaEvent::Bye;
  const unsigned needed = Fields::kV | Fields::kDoc | Fields::kEl | Fields::kEv |
                          (bye ? 0u : Fields::kT | Fields::kInf);
  if (f.seen != needed || (bye ? f.element != 0 : f.element == 0)) return std::nullopt;
  try {
    return MediaMessage{std::string(f.doc), f.element, f.event, f.time, f.infinite};
  } catch (...) {
    return std::nullopt;  // no memory for 16 characters: the message is lost like any other
  }
}

bool IsMediaDocId(std::string_view id) noexcept { return IsDocId(id); }

}  // namespace reprisa
