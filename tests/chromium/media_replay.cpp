// Replays what a page's media script posted through the core's media rule, as the program would
// feed it, and prints what the rule decides. One line in, at most one line out (flushed at once,
// so that a driver can feed it live):
//
//   <ms> <message>   the text the page posted (the rule's reader decides what it is)
//   <ms> tick        the program's timer (about every second): the rule's Check
//   <ms> load        the page finished loading
//   <ms> back        the program brought the page back after a failure
//   <ms> replaced    the program opened the page anew (an address, a reload tick)
//   <ms> lost        the page's engine ended
//
// Out: "<ms> failed <kind> retry <ms>", "<ms> failed <kind> no-retry" (the page is left to the
// reload tick), "<ms> recovered", "<ms> resumed" (heard again after a failure: a waiting retry is
// called off), "<ms> refused" for a message the reader does not take. <ms> is a tick count in
// milliseconds.
//
//   media_replay [--script]   --script prints the page script the program adds to every page
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "core/media_message.h"
#include "core/media_script.h"
#include "core/media_watch.h"

namespace {

using reprisa::MediaFailure;
using reprisa::MediaVerdict;

const char* FailureName(MediaFailure failure) {
  switch (failure) {
    case MediaFailure::Error: return "error";
    case MediaFailure::StreamEnded: return "stream-ended";
    case MediaFailure::NoProgress: return "no-progress";
    case MediaFailure::NothingPlayed: return "nothing-played";
    default: return "failure-of-another-kind";
  }
}

// What a verdict prints, or nothing. A kind the rule learns later prints as its number until it
// gets its name here.
std::string Said(const MediaVerdict& verdict) {
  switch (verdict.kind) {
    case MediaVerdict::Kind::Nothing: return "";
    case MediaVerdict::Kind::Failed:
      return std::string("failed ") + FailureName(verdict.failure) +
             (verdict.retry ? " retry " + std::to_string(verdict.retry_ms) : " no-retry");
    case MediaVerdict::Kind::Recovered: return "recovered";
    case MediaVerdict::Kind::Resumed: return "resumed";
    default: return "verdict " + std::to_string(static_cast<int>(verdict.kind));
  }
}

bool ReadTime(std::string_view text, std::uint32_t& ms) {
  if (text.empty() || text.size() > 9) return false;
  ms = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    ms = ms * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--script") {
    std::fputs(reprisa::kMediaWatchScript, stdout);
    return 0;
  }
  if (argc != 1) {
    std::fprintf(stderr, "usage: media_replay [--script] < lines\n");
    return 2;
  }
  reprisa::MediaWatch watch;
  std::string line;
  for (unsigned number = 1; std::getline(std::cin, line); ++number) {
    const std::size_t space = line.find(' ');
    std::uint32_t now = 0;
    if (space == std::string::npos || !ReadTime(std::string_view(line).substr(0, space), now)) {
      std::fprintf(stderr, "media_replay: line %u: no time: %s\n", number, line.c_str());
      return 2;
    }
    const std::string_view what = std::string_view(line).substr(space + 1);
    MediaVerdict verdict;
    std::string said;
    if (what == "tick") {
      verdict = watch.Check(now);
    } else if (what == "load") {
      watch.LoadSucceeded(now);
    } else if (what == "back") {
      watch.PageBroughtBack(now);
    } else if (what == "replaced") {
      watch.PageReplaced();
    } else if (what == "lost") {
      watch.EngineLost();
    } else if (const auto message = reprisa::ParseMediaMessage(what)) {
      verdict = watch.Report(*message, now);
    } else {
      said = "refused";
    }
    if (said.empty()) said = Said(verdict);
    if (!said.empty()) std::cout << now << ' ' << said << std::endl;
  }
  return 0;
}
