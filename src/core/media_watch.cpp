#include "core/media_watch.h"

#include <algorithm>

#include "core/page_recovery.h"

namespace reprisa {

MediaVerdict MediaWatch::Report(const MediaMessage& message, std::uint32_t now) noexcept {
  if (failed_ || !IsMediaDocId(message.doc)) return {};  // a failure already waits for the page
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
    heard_any_ = true;
    last_progress_ = now;
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
