#include "core/media_watch.h"

#include <algorithm>
#include <utility>

#include "core/page_recovery.h"

namespace reprisa {

MediaVerdict MediaWatch::Report(const MediaMessage& message, std::uint32_t now) noexcept {
  if (!IsMediaDocId(message.doc)) return {};
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
  const bool was_meant = MeantToPlay(e.state);
  if (Apply(e, message, is_new, now)) return Progressed(e, now);
  if (!Broke(e, message.event, was_meant) || failed_ || OtherPlays(e, now) || ResumedLately(now))
    return {};
  return Fail(message.event == MediaEvent::Error ? MediaFailure::Error
                                                 : MediaFailure::StreamEnded);
}

bool MediaWatch::Apply(Element& e, const MediaMessage& message, bool is_new,
                       std::uint32_t now) noexcept {
  const bool was_playing = e.state == State::Playing || e.state == State::Waiting;
  const bool was_meant = MeantToPlay(e.state);
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
    case MediaEvent::Want:
      e.wanted = true;
      if (!was_playing) e.state = State::Waiting;
      break;
    case MediaEvent::Wait: e.state = State::Waiting; break;
    case MediaEvent::Pause: e.state = State::Paused; break;
    case MediaEvent::End:
    case MediaEvent::Error: e.state = State::Ended; break;  // Broke may say otherwise
    case MediaEvent::Bye: break;
  }
  // While it plays, the message tells whether its source has an end; a stream's duration turns
  // finite as it ends (and a pause comes first): what was seen while it played is kept then.
  const bool plays = message.event == MediaEvent::Play || message.event == MediaEvent::Time;
  e.infinite = plays ? message.infinite : e.infinite || message.infinite;
  e.time = message.time;
  if (!MeantToPlay(e.state)) {
    e.running = false;
  } else if (!was_meant) {
    e.progress = now;  // the time may stand still from here on, not from before a pause
    e.running = false;
  }
  return progress;
}

MediaVerdict MediaWatch::Progressed(Element& e, std::uint32_t now) noexcept {
  heard_any_ = true;
  last_progress_ = now;
  e.progress = now;
  e.played = true;
  progressed_ = true;
  ever_heard_ = true;
  music_lost_ = false;
  deadline_armed_ = false;
  // A failure waiting for the page to come back is called off; the run starts anew.
  const bool resumed = std::exchange(failed_, false);
  if (!e.running || resumed) {
    e.running = true;
    e.run_since = now;
  } else if (Retrying() && now - e.run_since >= kRecoveredMs) {
    failures_ = 0;
    quick_ = 0;
    return {MediaVerdict::Kind::Recovered};
  }
  if (!resumed) return {};
  resumed_ = true;
  resumed_at_ = now;
  return {MediaVerdict::Kind::Resumed};
}

bool MediaWatch::Broke(Element& e, MediaEvent event, bool was_meant) noexcept {
  // Only media that played or that the page asked to play can break. An error of a player its
  // page stopped (its source taken away) is no failure; a stream that ended is, paused or not.
  const bool asked = e.played || e.wanted;
  const bool broke = asked && ((event == MediaEvent::Error && was_meant) ||
                               (event == MediaEvent::End && e.infinite));
  if (broke) e.state = State::Broken;  // it still should play: a stall when all else stops
  return broke;
}

bool MediaWatch::OtherPlays(const Element& e, std::uint32_t now) const noexcept {
  for (std::size_t i = 0; i < element_count_; ++i) {
    const Element& other = elements_[i];
    if (&other != &e && other.state == State::Playing && other.played &&
        now - other.progress < kStallMs)
      return true;
  }
  return false;
}

MediaVerdict MediaWatch::Check(std::uint32_t now) noexcept {
  if (failed_) return {};
  if (deadline_armed_ && static_cast<std::int32_t>(now - deadline_) >= 0)
    return Fail(MediaFailure::NothingPlayed);
  if (heard_any_ && now - last_progress_ < kStallMs) return {};  // the page is heard
  for (std::size_t i = 0; i < element_count_; ++i) {
    Element& e = elements_[i];
    // Unless the page was heard, only what it asked to play counts (autoplay refused waits).
    if (MeantToPlay(e.state) && (progressed_ || e.wanted) && now - e.progress >= kStallMs) {
      e.state = State::Broken;
      return Fail(MediaFailure::NoProgress);
    }
  }
  return {};
}

void MediaWatch::PageBroughtBack(std::uint32_t now) noexcept {
  Forget();
  failed_ = false;
  resumed_ = false;
  progressed_ = false;
  deadline_armed_ = Retrying() || music_lost_;
  deadline_ = now + kBroughtBackMs;
}

void MediaWatch::EngineLost() noexcept {
  for (std::size_t i = 0; i < element_count_; ++i) {
    if (elements_[i].played && MeantToPlay(elements_[i].state)) music_lost_ = true;
  }
  Forget();
}

void MediaWatch::PageReplaced() noexcept {
  PageBroughtBack(0);
  failures_ = 0;
  quick_ = 0;
  ever_heard_ = false;
  music_lost_ = false;
  deadline_armed_ = false;
}

void MediaWatch::LoadSucceeded(std::uint32_t now) noexcept {
  // A page whose media started before its load finished (a slow picture, an advert's frame) has
  // played already; its documents stay heard: they are the page now shown.
  if ((!Retrying() && !music_lost_) || failed_ || progressed_) return;
  deadline_armed_ = true;
  deadline_ = now + kStallMs;
}

MediaVerdict MediaWatch::Fail(MediaFailure failure) noexcept {
  failed_ = true;
  music_lost_ = false;
  deadline_armed_ = false;
  // A page that was heard and broke backs off along the ladder; one never heard tries again soon,
  // a few times.
  if (!progressed_ && quick_ < kQuickRetries) {
    ++quick_;
    return {MediaVerdict::Kind::Failed, failure, kQuickRetryMs};
  }
  if (!ever_heard_) return {MediaVerdict::Kind::Failed, failure, 0, false};
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
