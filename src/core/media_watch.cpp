#include "core/media_watch.h"

#include <algorithm>
#include <cmath>

#include "core/page_recovery.h"

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
                 {"bye", MediaEvent::Bye}};
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

// An element's number: digits only, no leading zero, at most kMaxElement.
std::optional<std::uint32_t> ElementNumber(std::string_view number) noexcept {
  if (number.empty() || number.size() > 6 || (number.size() > 1 && number[0] == '0') ||
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

}  // namespace

std::optional<MediaMessage> ParseMediaMessage(std::string_view text) noexcept {
  if (text.size() > kMaxMessageBytes) return std::nullopt;
  enum : unsigned { kV = 1, kDoc = 2, kEl = 4, kEv = 8, kT = 16, kInf = 32 };
  unsigned seen = 0;
  std::string_view doc;
  std::uint32_t element = 0;
  MediaEvent event = MediaEvent::Bye;
  double time = 0;
  bool infinite = false;

  Reader in(text);
  if (!in.Take('{')) return std::nullopt;
  do {
    const auto key = in.String();
    if (!key || !in.Take(':')) return std::nullopt;
    unsigned bit = 0;
    if (*key == "v") {
      const auto number = in.Number();
      if (!number || *number != "1") return std::nullopt;
      bit = kV;
    } else if (*key == "doc") {
      const auto id = in.String();
      if (!id || !IsDocId(*id)) return std::nullopt;
      doc = *id;
      bit = kDoc;
    } else if (*key == "el") {
      const auto number = in.Number();
      const auto value = number ? ElementNumber(*number) : std::nullopt;
      if (!value) return std::nullopt;
      element = *value;
      bit = kEl;
    } else if (*key == "ev") {
      const auto name = in.String();
      const auto value = name ? EventNamed(*name) : std::nullopt;
      if (!value) return std::nullopt;
      event = *value;
      bit = kEv;
    } else if (*key == "t") {
      const auto number = in.Number();
      const auto value = number ? TimeValue(*number) : std::nullopt;
      if (!value) return std::nullopt;
      time = *value;
      bit = kT;
    } else if (*key == "inf") {
      const auto value = in.Boolean();
      if (!value) return std::nullopt;
      infinite = *value;
      bit = kInf;
    } else {
      return std::nullopt;
    }
    if (seen & bit) return std::nullopt;
    seen |= bit;
  } while (in.Take(','));
  if (!in.Take('}') || !in.AtEnd()) return std::nullopt;

  // A document going away names no element and no time; every other fact names both.
  const bool bye = event == MediaEvent::Bye;
  const unsigned needed = kV | kDoc | kEl | kEv | (bye ? 0u : kT | kInf);
  if (seen != needed || (bye ? element != 0 : element == 0)) return std::nullopt;
  try {
    return MediaMessage{std::string(doc), element, event, time, infinite};
  } catch (...) {
    return std::nullopt;  // no memory for 16 characters: the message is lost like any other
  }
}

// The rule.

MediaVerdict MediaWatch::Report(const MediaMessage& message, std::uint32_t now) noexcept {
  if (failed_ || !IsDocId(message.doc)) return {};  // a failure already waits for the page
  DocId doc;
  doc.size = static_cast<std::uint8_t>(message.doc.size());
  std::copy(message.doc.begin(), message.doc.end(), doc.chars.begin());
  if (!Admit(doc)) return {};  // a late word from a page the program has left
  if (message.event == MediaEvent::Bye) {
    Retire(doc);
    return {};
  }

  bool is_new = false;
  Element& e = Find(doc, message.element, is_new);
  e.heard = ++sequence_;
  const bool was_playing = ShouldPlay(e.state);
  bool progress = false;
  switch (message.event) {
    case MediaEvent::Play:
      // Playing again after waiting for data, at the same time, is no progress yet.
      progress = !e.played || !was_playing || message.time != e.time;
      e.state = State::Playing;
      break;
    case MediaEvent::Time:
      progress = is_new || message.time != e.time;
      e.state = State::Playing;
      break;
    case MediaEvent::Wait: e.state = State::Waiting; break;
    case MediaEvent::Pause: e.state = State::Paused; break;
    case MediaEvent::End: e.state = State::Ended; break;
    case MediaEvent::Error: e.state = State::Failed; break;
    case MediaEvent::Bye: break;
  }
  // A stream's duration turns finite when it ends (and a pause comes first): remember it.
  e.infinite = e.infinite || message.infinite;
  e.time = message.time;
  if (!ShouldPlay(e.state)) {
    e.running = false;
  } else if (!was_playing) {
    e.progress = now;  // the time may stand still from here on, not from before a pause
    e.running = false;
  }

  if (progress) {
    e.progress = now;
    e.played = true;
    progressed_ = true;
    music_lost_ = false;
    deadline_armed_ = false;
    if (!e.running) {
      e.running = true;
      e.run_since = now;
    } else if (failures_ > 0 && now - e.run_since >= kRecoveredMs) {
      failures_ = 0;
      return {MediaVerdict::Kind::Recovered};
    }
  }

  // While retrying, the page brought back may fail before anything on it ever played.
  const bool unplayed_counts = failures_ > 0 && !progressed_;
  // An error of a player stopped by its page (its source taken away) is no failure.
  if (message.event == MediaEvent::Error && (e.played ? was_playing : unplayed_counts))
    return Fail(MediaFailure::Error);
  if (message.event == MediaEvent::End && (e.played ? e.infinite : unplayed_counts))
    return Fail(MediaFailure::StreamEnded);
  return {};
}

MediaVerdict MediaWatch::Check(std::uint32_t now) noexcept {
  if (failed_) return {};
  if (deadline_armed_ && static_cast<std::int32_t>(now - deadline_) >= 0)
    return Fail(MediaFailure::NothingPlayed);
  const bool unplayed_counts = failures_ > 0 && !progressed_;
  for (std::size_t i = 0; i < element_count_; ++i) {
    Element& e = elements_[i];
    if (ShouldPlay(e.state) && (e.played || unplayed_counts) && now - e.progress >= kStallMs) {
      e.state = State::Failed;
      return Fail(MediaFailure::NoProgress);
    }
  }
  return {};
}

void MediaWatch::PageBroughtBack(std::uint32_t now) noexcept {
  Forget();
  failed_ = false;
  progressed_ = false;
  deadline_armed_ = failures_ > 0 || music_lost_;
  deadline_ = now + kBroughtBackMs;
}

void MediaWatch::EngineLost() noexcept {
  for (std::size_t i = 0; i < element_count_; ++i) {
    if (elements_[i].played && ShouldPlay(elements_[i].state)) music_lost_ = true;
  }
  Forget();
}

void MediaWatch::PageReplaced() noexcept {
  PageBroughtBack(0);
  failures_ = 0;
  music_lost_ = false;
  deadline_armed_ = false;
}

void MediaWatch::LoadSucceeded(std::uint32_t now) noexcept {
  // A page whose media started before its load finished (a slow picture, an advert's frame) has
  // played already; its documents stay heard: they are the page now shown.
  if ((failures_ == 0 && !music_lost_) || failed_ || progressed_) return;
  deadline_armed_ = true;
  deadline_ = now + kStallMs;
}

MediaVerdict MediaWatch::Fail(MediaFailure failure) noexcept {
  failed_ = true;
  music_lost_ = false;
  deadline_armed_ = false;
  if (failures_ < PageRecovery::kRetryDelaysMs.size()) ++failures_;
  return {MediaVerdict::Kind::Failed, failure, PageRecovery::kRetryDelaysMs[failures_ - 1]};
}

void MediaWatch::Forget() noexcept {
  element_count_ = 0;
  for (std::size_t i = 0; i < document_count_; ++i) documents_[i].retired = true;
}

bool MediaWatch::Admit(const DocId& doc) noexcept {
  std::size_t slot = 0;
  for (std::size_t i = 0; i < document_count_; ++i) {
    Document& d = documents_[i];
    if (d.id.View() == doc.View()) {
      d.heard = ++sequence_;
      return !d.retired;
    }
    if (sequence_ - d.heard > sequence_ - documents_[slot].heard) slot = i;
  }
  if (document_count_ < documents_.size()) slot = document_count_++;
  documents_[slot] = Document{doc, false, ++sequence_};
  return true;
}

MediaWatch::Element& MediaWatch::Find(const DocId& doc, std::uint32_t id, bool& is_new) noexcept {
  std::size_t slot = 0;
  for (std::size_t i = 0; i < element_count_; ++i) {
    Element& e = elements_[i];
    if (e.id == id && e.doc.View() == doc.View()) {
      is_new = false;
      return e;
    }
    if (sequence_ - e.heard > sequence_ - elements_[slot].heard) slot = i;
  }
  if (element_count_ < elements_.size()) slot = element_count_++;
  is_new = true;
  elements_[slot] = Element{};
  elements_[slot].doc = doc;
  elements_[slot].id = id;
  return elements_[slot];
}

void MediaWatch::Retire(const DocId& doc) noexcept {
  // Admit has remembered the document; a frame removed from the page never speaks again.
  for (std::size_t i = 0; i < document_count_; ++i) {
    if (documents_[i].id.View() == doc.View()) documents_[i].retired = true;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < element_count_; ++i) {
    if (elements_[i].doc.View() != doc.View()) elements_[kept++] = elements_[i];
  }
  element_count_ = kept;
}

}  // namespace reprisa
