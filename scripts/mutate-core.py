#!/usr/bin/env python3
"""Mutation run over the media watch's rule and its message reader: plants one fault at a time in
src/core/media_watch.cpp or src/core/media_message.cpp, rebuilds the native core tests, runs
them, and counts the fault as killed when a test fails (or the build's tests hang or crash).
Not part of the tests: run it by hand after `cmake --preset native`.

    scripts/mutate-core.py [FILTER]   (FILTER: only mutants whose name contains it)

Prints one line per mutant and the score; the sources are restored whatever happens."""
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
WATCH = "src/core/media_watch.cpp"
READER = "src/core/media_message.cpp"

# (name, file, text as it stands, text with the fault). Each text occurs exactly once.
MUTANTS = [
    # The rule: what a message means.
    ("admit dropped", WATCH, "if (!Admit(doc)) return {};", "Admit(doc);"),
    ("bye retires nothing", WATCH, "    Retire(doc);\n    return {};", "    return {};"),
    ("play after a pause at the same time", WATCH,
     "!e.played || !was_playing || message.time", "!e.played || message.time"),
    ("play at another time", WATCH, "|| message.time != e.time;\n      e.state = State::Playing;\n      break;\n    case MediaEvent::Time",
     "|| message.time == e.time;\n      e.state = State::Playing;\n      break;\n    case MediaEvent::Time"),
    ("first time of a new element", WATCH, "progress = is_new || message.time != e.time;",
     "progress = message.time != e.time;"),
    ("want not kept", WATCH, "      e.wanted = true;\n", ""),
    ("want does not mean play", WATCH, "if (!was_playing) e.state = State::Waiting;", ""),
    ("no end sticky per element", WATCH,
     "e.infinite = plays ? message.infinite : e.infinite || message.infinite;",
     "e.infinite = e.infinite || message.infinite;"),
    ("no end forgotten at the end", WATCH,
     "e.infinite = plays ? message.infinite : e.infinite || message.infinite;",
     "e.infinite = message.infinite;"),
    ("stall clock from before the pause", WATCH,
     "    e.progress = now;  // the time may stand still", "    // the time may stand still"),
    ("lost engine flag kept after play", WATCH, "  ever_heard_ = true;\n  music_lost_ = false;",
     "  ever_heard_ = true;"),
    ("deadline kept after play", WATCH, "  music_lost_ = false;\n  deadline_armed_ = false;\n  // A failure",
     "  music_lost_ = false;\n  // A failure"),
    ("heard not noted", WATCH, "  progressed_ = true;\n  ever_heard_ = true;", "  ever_heard_ = true;"),
    ("ever heard not noted", WATCH, "  progressed_ = true;\n  ever_heard_ = true;", "  progressed_ = true;"),
    ("recovered a tick late", WATCH, "now - e.run_since >= kRecoveredMs", "now - e.run_since > kRecoveredMs"),
    ("recovered keeps the ladder", WATCH, "    failures_ = 0;\n    quick_ = 0;\n    return {MediaVerdict::Kind::Recovered};",
     "    quick_ = 0;\n    return {MediaVerdict::Kind::Recovered};"),
    ("recovered keeps the short tries", WATCH, "    failures_ = 0;\n    quick_ = 0;\n    return {MediaVerdict::Kind::Recovered};",
     "    failures_ = 0;\n    return {MediaVerdict::Kind::Recovered};"),
    ("resumed keeps the old run", WATCH, "if (!e.running || resumed)", "if (!e.running)"),
    ("resumed not noted", WATCH, "  resumed_ = true;\n  resumed_at_ = now;\n", ""),
    # The rule: what broke.
    ("only what played breaks", WATCH, "const bool asked = e.played || e.wanted;", "const bool asked = e.played;"),
    ("error of a stopped player", WATCH, "(event == MediaEvent::Error && was_meant)", "(event == MediaEvent::Error)"),
    ("any end breaks", WATCH, "(event == MediaEvent::End && e.infinite)", "(event == MediaEvent::End)"),
    ("a broken other plays", WATCH, "other.state == State::Playing && other.played",
     "MeantToPlay(other.state) && other.played"),
    ("another plays forever", WATCH, "        now - other.progress < kStallMs)", "        true)"),
    ("failure soon after resuming at once", WATCH, " || OtherPlays(e, now) || ResumedLately(now))",
     " || OtherPlays(e, now))"),
    ("failures while one waits", WATCH, "  if (failed_) return {};\n  if (deadline_armed_", "  if (deadline_armed_"),
    ("deadline a tick late", WATCH, "static_cast<std::int32_t>(now - deadline_) >= 0", "static_cast<std::int32_t>(now - deadline_) > 0"),
    ("stall beside a player that plays", WATCH,
     "  if (heard_any_ && now - last_progress_ < kStallMs) return {};  // the page is heard\n", ""),
    ("stall only of what was asked", WATCH, "(progressed_ || e.wanted) && now", "(e.wanted) && now"),
    ("stall of what was never asked", WATCH, "(progressed_ || e.wanted) && now", "now"),
    ("stall a tick late", WATCH, "now - e.progress >= kStallMs", "now - e.progress > kStallMs"),
    # The rule: what the program did.
    ("lost music not awaited", WATCH, "deadline_armed_ = Retrying() || music_lost_;", "deadline_armed_ = Retrying();"),
    ("lost while paused awaited", WATCH, "if (elements_[i].played && MeantToPlay(elements_[i].state))",
     "if (elements_[i].played)"),
    ("replaced keeps the ladder", WATCH, "  failures_ = 0;\n  quick_ = 0;\n  ever_heard_ = false;",
     "  quick_ = 0;\n  ever_heard_ = false;"),
    ("replaced keeps the short tries", WATCH, "  failures_ = 0;\n  quick_ = 0;\n  ever_heard_ = false;",
     "  failures_ = 0;\n  ever_heard_ = false;"),
    ("replaced keeps heard", WATCH, "  quick_ = 0;\n  ever_heard_ = false;", "  quick_ = 0;"),
    ("load cuts media that started", WATCH, "|| failed_ || progressed_) return;", "|| failed_) return;"),
    ("short tries after a heard page", WATCH, "if (!progressed_ && quick_ < kQuickRetries)", "if (quick_ < kQuickRetries)"),
    ("one short try more", WATCH, "if (!progressed_ && quick_ < kQuickRetries)", "if (!progressed_ && quick_ <= kQuickRetries)"),
    ("never heard goes on for ever", WATCH, "  if (!ever_heard_) return {MediaVerdict::Kind::Failed, failure, 0, false};\n", ""),
    ("ladder stops short", WATCH, "if (failures_ < PageRecovery::kRetryDelaysMs.size()) ++failures_;",
     "if (failures_ + 1 < PageRecovery::kRetryDelaysMs.size()) ++failures_;"),
    # The rule: bounds.
    ("newest document evicted", WATCH, "if (sequence_ - d.heard > sequence_ - documents_[slot].heard)",
     "if (sequence_ - d.heard < sequence_ - documents_[slot].heard)"),
    ("document table one short", WATCH, "if (document_count_ < documents_.size())", "if (document_count_ + 1 < documents_.size())"),
    ("newest element evicted", WATCH, "if (sequence_ - e.heard > sequence_ - elements_[slot].heard)",
     "if (sequence_ - e.heard < sequence_ - elements_[slot].heard)"),
    ("element table one short", WATCH, "if (element_count_ < elements_.size())", "if (element_count_ + 1 < elements_.size())"),
    ("reused slot keeps the old element", WATCH, "  elements_[slot] = Element{};\n", ""),
    ("retire keeps the wrong elements", WATCH, "if (elements_[i].doc.View() != doc.View())", "if (elements_[i].doc.View() == doc.View())"),
    # The reader.
    ("message of 256 bytes refused", READER, "if (text.size() > kMaxMessageBytes)", "if (text.size() >= kMaxMessageBytes)"),
    ("document id of 17", READER, "kMaxDocChars = 16;", "kMaxDocChars = 17;"),
    ("document id of 5", READER, "kMinDocChars = 6;", "kMinDocChars = 5;"),
    ("document id with capitals", READER, "(ch >= '0' && ch <= '9');\n         });", "(ch >= '0' && ch <= 'Z');\n         });"),
    ("element of ten digits", READER, "number.size() > 6 ||", "number.size() > 10 ||"),
    ("element 0 for a play", READER, "(bye ? f.element != 0 : f.element == 0)", "(bye ? f.element != 0 : false)"),
    ("exponent without digits", READER, "      if (!Skip('+')) Skip('-');\n      if (Digits() == 0) return std::nullopt;",
     "      if (!Skip('+')) Skip('-');"),
    ("fraction without digits", READER, "if (Skip('.') && Digits() == 0) return std::nullopt;", "Skip('.');"),
    ("exponent sign flipped", READER, "const bool down = number[++i] == '-';", "const bool down = number[++i] == '+';"),
    ("negative time", READER, "if (negative || exponent > 9)", "if (exponent > 9)"),
    ("time of 1e9", READER, "if (!(value < kMaxTime))", "if (!(value <= kMaxTime))"),
    ("time not rounded", READER, "value = std::round(value * 1000) / 1000;", ""),
    ("any version", READER, 'return number && *number == "1" ? Fields::kV : 0;', "return number ? Fields::kV : 0;"),
    ("line ends not blank", READER, "text_[pos_] == '\\n' || ", ""),
    ("a key twice", READER, "if (bit == 0 || (f.seen & bit))", "if (bit == 0)"),
    ("trailing text", READER, "if (!in.Take('}') || !in.AtEnd())", "if (!in.Take('}'))"),
    ("inf not needed", READER, "(bye ? 0u : Fields::kT | Fields::kInf)", "(bye ? 0u : Fields::kT)"),
    ("bye naming an element", READER, "(bye ? f.element != 0 : f.element == 0)", "(bye ? false : f.element == 0)"),
    ("want unknown", READER, '{"want", MediaEvent::Want}', '{"wand", MediaEvent::Want}'),
]


def run(cmd, timeout):
    try:
        return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "hang"


def build():
    return run(["cmake", "--build", "--preset", "native", "--target", "core_tests"], 900) == 0


def tests_pass():
    return run([str(ROOT / "build/native/core_tests"), "--gtest_brief=1"], 120) == 0


def main():
    only = sys.argv[1] if len(sys.argv) > 1 else ""
    chosen = [m for m in MUTANTS if only in m[0]]
    originals = {f: (ROOT / f).read_text() for f in (WATCH, READER)}
    for name, path, old, new in chosen:
        if originals[path].count(old) != 1:
            sys.exit("mutant %r: its text occurs %d times in %s" % (name, originals[path].count(old), path))
    if not build() or not tests_pass():
        sys.exit("the tests fail without a fault planted")
    killed, survived, broken = [], [], []
    try:
        for name, path, old, new in chosen:
            (ROOT / path).write_text(originals[path].replace(old, new))
            if not build():
                broken.append(name)
                verdict = "does not build"
            elif tests_pass():
                survived.append(name)
                verdict = "SURVIVED"
            else:
                killed.append(name)
                verdict = "killed"
            (ROOT / path).write_text(originals[path])
            print("%-40s %-8s %s" % (name, pathlib.Path(path).name, verdict), flush=True)
    finally:
        for path, text in originals.items():
            (ROOT / path).write_text(text)
        build()
    counted = len(killed) + len(survived)
    print("killed %d of %d (%.0f %%), survived: %s%s" % (
        len(killed), counted, 100.0 * len(killed) / max(counted, 1), ", ".join(survived) or "none",
        "; not built: " + ", ".join(broken) if broken else ""))


if __name__ == "__main__":
    main()
