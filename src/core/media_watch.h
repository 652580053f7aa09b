// The watch on the page's media. A script of the program's own in every frame of the page posts
// one short message per fact about a media element (media_script.h); the rule here judges from
// them whether the page's sound, all its audible players as one, has failed while the page itself
// stands: the page was heard and no audible player has made progress for a while although one
// should be playing, or a stream ended or failed (or a playing player errored) and nothing else
// audible plays, or media the page asked to play failed before it ever played. A failure is
// treated as a failed load: the page is loaded again after a pause, unless it is heard again
// before (the watch never stops listening). A page can post on the same channel, so the reader is
// strict and the rule never lets a page reload itself more often than the pauses allow. Times are
// tick counts in milliseconds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/media_message.h"

namespace reprisa {

enum class MediaFailure {
  Error,          // a player that played, or that the page asked to play, reported an error
  StreamEnded,    // a stream without an end ended
  NoProgress,     // no audible player moved on while one should have been playing
  NothingPlayed,  // the page was brought back and nothing played after it loaded
};

// What a report or the passing of time means for the page.
struct MediaVerdict {
  enum class Kind {
    Nothing,
    Failed,     // the page's sound failed: bring the page back after retry_ms (if retry)
    Recovered,  // media played kRecoveredMs in a row: the retries are over
    Resumed,    // the page is heard again after a failure: a retry still waiting is called off
  } kind = Kind::Nothing;
  MediaFailure failure = MediaFailure::Error;  // for Failed
  std::uint32_t retry_ms = 0;                  // for Failed: the pause before the page comes back
  bool retry = true;  // for Failed: false when the page is left to the reload tick
};

class MediaWatch {
 public:
  // A page heard whose players all stood still this long while one should be playing has failed;
  // so has media asked to play that did not start within this time, and a page brought back after
  // a failure on which nothing played this long after it loaded.
  static constexpr std::uint32_t kStallMs = 15000;
  // While retrying, the page brought back must play within this time even when its load never
  // reports finished (an engine reports it only once the stream's connection ends).
  static constexpr std::uint32_t kBroughtBackMs = 20000;
  // Media playing this long in a row ends the retries.
  static constexpr std::uint32_t kRecoveredMs = 30000;
  // A page brought back (or opened) that failed before it was ever heard is brought back after
  // this short pause, at most kQuickRetries times until media play kRecoveredMs in a row or
  // another page is opened: a station that refuses its stream for a while plays again soon after
  // it takes listeners again. Past that, a page heard before goes on along the failed load's
  // pauses; one never heard since it was opened is left to the reload tick.
  static constexpr std::uint32_t kQuickRetryMs = 4000;
  static constexpr std::size_t kQuickRetries = 4;
  // What a page can make the watch remember is bounded: the elements (the least recently heard
  // of goes first) and the documents whose late messages are dropped.
  static constexpr std::size_t kMaxElements = 32;
  static constexpr std::size_t kMaxDocuments = 16;

  // A message from the page at tick count `now`. Any document the program has not left is heard,
  // also while a failure waits for the page to come back.
  MediaVerdict Report(const MediaMessage& message, std::uint32_t now) noexcept;
  // Time passed (about every second): stalls and the deadline after a load.
  MediaVerdict Check(std::uint32_t now) noexcept;

  // The program brings the page back after a failure (recovery, retry): the documents it showed
  // are gone. Their elements are forgotten, their late messages dropped, and the page's media may
  // fail again; while retrying, something must play within kBroughtBackMs from `now`.
  void PageBroughtBack(std::uint32_t now) noexcept;
  // The program reloads the page anyway or opens another (reload tick, an address, a wake from
  // sleep): as PageBroughtBack, and the retries are over.
  void PageReplaced() noexcept;
  // The page's engine ended: nothing of its documents reports any more.
  // When its media were playing, the page brought back must play again (as while retrying).
  void EngineLost() noexcept;
  // The page loaded at `now`: while retrying, something must play within kStallMs from here.
  void LoadSucceeded(std::uint32_t now) noexcept;
  // The page did not load: what it showed is gone, and the page's own retries take over; no
  // deadline until it loads.
  void LoadFailed() noexcept {
    Forget();
    deadline_armed_ = false;
  }

  // Whether some media element made progress at or after tick count `since` (and not after `now`).
  bool HeardSince(std::uint32_t since, std::uint32_t now) const noexcept {
    return heard_any_ && now - last_progress_ <= now - since;
  }

  // Whether media failed lately and has not played kRecoveredMs in a row since.
  bool Retrying() const noexcept { return failures_ > 0 || quick_ > 0; }

 private:
  // Broken: a stream that ended or a player that failed while it should play; it still should.
  enum class State { Idle, Playing, Waiting, Paused, Ended, Broken };

  struct DocId {
    std::array<char, 16> chars{};
    std::uint8_t size = 0;
    std::string_view View() const noexcept { return {chars.data(), size}; }
  };
  struct Element {
    DocId doc;
    std::uint32_t id = 0;
    State state = State::Idle;
    bool played = false;         // a play, or its time moved, since it was first heard of
    bool wanted = false;         // the page asked it to play
    bool infinite = false;       // its source has no end (as last known while it played)
    double time = 0;             // the last time reported
    std::uint32_t progress = 0;  // tick count of its last progress (or of starting to play)
    bool running = false;        // playing without a break since run_since
    std::uint32_t run_since = 0;
    std::uint32_t heard = 0;     // a sequence number of the last report, for eviction
  };
  struct Document {
    DocId id;
    bool retired = false;
    std::uint32_t heard = 0;
  };

  // Whether the message's document may speak (new ones are remembered).
  bool Admit(const DocId& doc) noexcept;
  Element& Find(const DocId& doc, std::uint32_t id, bool& is_new) noexcept;
  void Retire(const DocId& doc) noexcept;
  // Takes the message's fact into the element; whether it made progress.
  bool Apply(Element& e, const MediaMessage& message, bool is_new, std::uint32_t now) noexcept;
  MediaVerdict Progressed(Element& e, std::uint32_t now) noexcept;
  // Whether the message says that the element broke while it should play.
  bool Broke(Element& e, MediaEvent event, bool was_meant) noexcept;
  // Whether the page was heard again after a failure lately: a player that breaks again soon is
  // judged by its stall, not at once (a page flipping between the two is not heard of 20 times a
  // second).
  bool ResumedLately(std::uint32_t now) const noexcept {
    return resumed_ && now - resumed_at_ < kStallMs;
  }
  // Whether an audible player other than `e` plays and made progress lately.
  bool OtherPlays(const Element& e, std::uint32_t now) const noexcept;
  MediaVerdict Fail(MediaFailure failure) noexcept;
  // Forgets the elements and retires the documents heard of so far.
  void Forget() noexcept;
  static bool MeantToPlay(State state) noexcept {
    return state == State::Playing || state == State::Waiting || state == State::Broken;
  }

  std::array<Element, kMaxElements> elements_{};
  std::size_t element_count_ = 0;
  std::array<Document, kMaxDocuments> documents_{};
  std::size_t document_count_ = 0;
  std::uint32_t sequence_ = 0;
  std::size_t failures_ = 0;     // failures of a heard page since media last played kRecoveredMs
  std::size_t quick_ = 0;        // short retries since then (or since another page was opened)
  bool failed_ = false;          // a failure waits for the page to be brought back or heard
  bool progressed_ = false;      // the page was heard since it was last brought back
  bool ever_heard_ = false;      // the page was heard since it was opened
  bool music_lost_ = false;      // media played when the engine was lost, and not since
  bool deadline_armed_ = false;  // something must play by deadline_
  std::uint32_t deadline_ = 0;
  bool heard_any_ = false;          // some element made progress, at last_progress_
  std::uint32_t last_progress_ = 0;
  bool resumed_ = false;            // the page was heard again after a failure, at resumed_at_
  std::uint32_t resumed_at_ = 0;
};

}  // namespace reprisa
