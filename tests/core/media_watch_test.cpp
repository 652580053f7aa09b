// The media watch: the reader of the page script's messages, and the rule that calls the page's
// media failed, told as stories of reports and ticks.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/media_watch.h"

namespace reprisa {
namespace {

TEST(MediaMessage, OnlyTheScriptsOwnShapeIsRead) {
  std::string padded = R"({"v":1,"doc":"abc123","el":7,"ev":"pause","t":1,"inf":false)";
  padded += std::string(255 - padded.size(), ' ') + "}";  // exactly 256 bytes
  const struct {
    std::string text;
    bool read;
  } cases[] = {
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":0,"inf":false})", true},
      {R"( { "inf" : true , "t" : 12.5e1 , "ev" : "time" , "el" : 999999 ,
           "doc" : "abcdefghij012345" , "v" : 1 } )", true},
      {R"({"v":1,"doc":"zzzzzz","el":0,"ev":"bye"})", true},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"wait","t":999999999.999,"inf":false})", true},
      {padded, true},
      {padded + " ", false},                                                         // 257 bytes
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":0,"inf":false,"x":1})", false},  // key
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":0,"inf":false,"el":2})", false}, // twice
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":0})", false},                 // no inf
      {R"({"v":1,"doc":"abc123","el":0,"ev":"bye","t":0})", false},                  // bye's t
      {R"({"v":2,"doc":"abc123","el":1,"ev":"play","t":0,"inf":false})", false},
      {R"({"v":"1","doc":"abc123","el":1,"ev":"play","t":0,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":1e999,"inf":false})", false},  // not finite
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":NaN,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":1e9,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":-1,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":.5,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":1e,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":1.,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"bye"})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":1E+,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"want","t":0,"inf":false})", true},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"want"})", false},
      {R"({"v":1,"doc":"abc123","el":4294967297,"ev":"play","t":0,"inf":false})", false},
      {R"({"v":1,"doc":"ABC123","el":1,"ev":"play","t":0,"inf":false})", false},      // id chars
      {R"({"v":1,"doc":"abc-12","el":1,"ev":"play","t":0,"inf":false})", false},
      {R"({"v":1,"doc":"abc12","el":1,"ev":"play","t":0,"inf":false})", false},       // 5 chars
      {R"({"v":1,"doc":"abcdefghij0123456","el":1,"ev":"play","t":0,"inf":false})", false},
      {R"({"v":1,"doc":"abc\u0031234","el":1,"ev":"play","t":0,"inf":false})", false},
      {std::string(R"({"v":1,"doc":"abc123)") + '\0' + R"(","el":1,"ev":"play","t":0,"inf":0})",
       false},
      {R"({"v":1,"doc":"abc123","el":0,"ev":"play","t":0,"inf":false})", false},      // el 0
      {R"({"v":1,"doc":"abc123","el":1000000,"ev":"play","t":0,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":01,"ev":"play","t":0,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1.0,"ev":"play","t":0,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":{"a":1},"inf":false})", false}, // nested
      {R"({"v":1,"doc":["abc123"],"el":1,"ev":"play","t":0,"inf":false})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":0,"inf":false}x)", false},    // trailing
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":0,"inf":false}})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":0,"inf":false,})", false},
      {R"({"v":1,"doc":"abc123","el":1,"ev":"stop","t":0,"inf":false})", false},     // unknown ev
      {R"({"v":1,"doc":"abc123","el":1,"ev":"play","t":0,"inf":False})", false},
      {"", false},
      {"{}", false},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseMediaMessage(c.text).has_value(), c.read) << c.text;

  const auto time = ParseMediaMessage(cases[1].text);
  ASSERT_TRUE(time);
  EXPECT_EQ(time->doc, "abcdefghij012345");
  EXPECT_EQ(time->element, 999999u);
  EXPECT_EQ(time->event, MediaEvent::Time);
  EXPECT_EQ(time->time, 125.0);
  EXPECT_TRUE(time->infinite);
  EXPECT_EQ(ParseMediaMessage(cases[2].text)->event, MediaEvent::Bye);
  const struct {
    const char* t;
    double value;
  } times[] = {{"125e-1", 12.5}, {"1.25E+1", 12.5}, {"0.0004", 0}, {"7", 7}};
  for (const auto& c : times) {
    const auto m = ParseMediaMessage(std::string(R"({"v":1,"doc":"abc123","el":1,"ev":"want","t":)") +
                                     c.t + R"(,"inf":false})");
    ASSERT_TRUE(m) << c.t;
    EXPECT_EQ(m->time, c.value) << c.t;
    EXPECT_EQ(m->event, MediaEvent::Want) << c.t;
  }
}

// Each story starts with a new watch; each step is a report, a tick of time or what the program
// did, at a tick count near the count's wrap-around, with what the watch concludes.
// The reports come first, in MediaEvent's order.
enum Act { Play, Time, Pause, End, Error, Wait, Bye, Want, Check, Back, Replaced, Loaded,
           LoadFail, Lost };
struct Step {
  std::uint32_t at;
  Act act;
  double t = 0;
  // "", "recovered", "resumed", or the failure and the pause before the retry ("tick": none)
  const char* expect = "";
  const char* doc = "docaaa";
  std::uint32_t el = 1;
  bool inf = false;
};

std::string Said(const MediaVerdict& v) {
  if (v.kind == MediaVerdict::Kind::Nothing) return "";
  if (v.kind == MediaVerdict::Kind::Recovered) return "recovered";
  if (v.kind == MediaVerdict::Kind::Resumed) return "resumed";
  const char* names[] = {"error", "ended", "stall", "nothing"};
  return std::string(names[static_cast<int>(v.failure)]) + " " +
         (v.retry ? std::to_string(v.retry_ms) : "tick");
}

// A crowd: `act` from each of the elements first..last of a document, or from each of the
// documents "doc<first>".."doc<last>" (element 1) when `docs`.
std::vector<Step> Crowd(Act act, int first, int last, bool docs = false) {
  static std::vector<std::string> names;  // the steps point into it
  names.reserve(1000);
  std::vector<Step> steps;
  for (int i = first; i <= last; ++i) {
    if (docs) names.push_back("doc" + std::to_string(1000 + i));
    steps.push_back({0, act, 0, "", docs ? names.back().c_str() : "docaaa",
                     static_cast<std::uint32_t>(docs ? 1 : i)});
  }
  return steps;
}

std::vector<Step> Join(std::initializer_list<std::vector<Step>> parts) {
  std::vector<Step> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(MediaWatchRule, Stories) {
  const char* b = "docbbb";
  const char* c = "docccc";
  const char* d = "docddd";
  const char* e = "doceee";
  const char* f = "docfff";
  const char* g = "docggg";
  const char* h = "dochhh";
  const char* d01 = "doc1001";
  const struct {
    const char* name;
    std::vector<Step> steps;
  } stories[] = {
      {"an error after playing", {{0, Play}, {1000, Error, 1, "error 5000"}}},
      {"a stream ends: its duration turned finite at the end, and it paused first",
       {{0, Play, 0, "", b, 1, true}, {5000, Time, 5, "", b, 1, true}, {9000, Pause, 9, "", b},
        {9000, End, 9, "ended 5000", b}}},
      {"a song ends", {{0, Play}, {5000, Time, 5}, {9000, Pause, 9}, {9000, End, 9},
                       {90000, Check}}},
      {"its time stood still 15 s, waiting or playing",
       {{0, Play}, {5000, Time, 5}, {6000, Wait, 5}, {7000, Play, 5}, {19999, Check},
        {20000, Check, 0, "stall 5000"}}},
      {"paused long, asked to play again, then waiting for ever",
       {{0, Play}, {5000, Time, 5}, {6000, Pause, 6}, {100000, Check}, {100000, Wait, 6},
        {114999, Check}, {115000, Check, 0, "stall 5000"}}},
      {"never started: autoplay refused, waiting for data, an error",
       {{0, Pause}, {0, Wait, 0, "", "docaaa", 2}, {1000, Error, 0, "", "docaaa", 3},
        {60000, Check}}},
      {"no media", {{60000, Check}, {60000, Loaded}, {120000, Check}}},
      {"a late message from the page the program left",
       {{0, Play}, {5000, Time, 5}, {6000, Replaced}, {7000, Time, 6}, {60000, Check},
        {61000, Play, 0, "", b}, {62000, Error, 1, "error 5000", b}}},
      {"a frame removed", {{0, Play, 0, "", b}, {1000, Bye, 0, "", b, 0}, {60000, Check},
                           {61000, Time, 5, "", b}, {120000, Check}}},
      {"the engine lost", {{0, Play}, {5000, Time, 5}, {6000, Lost}, {60000, Check}}},
      {"the engine lost while playing: the page brought back must play again",
       {{0, Play}, {5000, Time, 5}, {6000, Lost}, {6000, Back}, {25999, Check},
        {26000, Check, 0, "nothing 4000"}}},
      {"the engine lost while paused", {{0, Play}, {5000, Pause, 5}, {6000, Lost}, {6000, Back},
                                        {60000, Check}}},
      {"a load failed", {{0, Play}, {5000, Time, 5}, {6000, LoadFail}, {60000, Check}}},
      {"one failure until the page is back or heard again",
       {{0, Play}, {1000, Error, 0, "error 5000"}, {1000, Want, 0, "", "docaaa", 2},
        {1001, Error, 0, "", "docaaa", 2}, {1002, End, 0, "", "docaaa", 3, true}, {30000, Check},
        {30000, Back}, {31000, Play, 0, "", b}, {32000, Error, 1, "error 10000", b}}},
      {"a station plays 5 s and breaks: the ladder goes on; 30 s of play end it",
       {{0, Play}, {1000, Error, 0, "error 5000"}, {6000, Back}, {8000, Loaded},
        {9000, Play, 0, "", b}, {14000, Time, 5, "", b}, {15000, Error, 5, "error 10000", b},
        {25000, Back}, {27000, Loaded}, {28000, Play, 0, "", c}, {33000, Time, 5, "", c},
        {43000, Wait, 15, "", c}, {44000, Time, 16, "", c}, {57999, Time, 29.9, "", c},
        {58000, Time, 30, "recovered", c}, {60000, Error, 30, "error 5000", c}}},
      {"nothing plays after the page came back and loaded; a failed load drops the deadline",
       {{0, Play}, {1000, Error, 0, "error 5000"}, {6000, Back}, {6500, Loaded}, {7000, LoadFail},
        {60000, Check}, {61000, Loaded}, {75999, Check}, {76000, Check, 0, "nothing 4000"}}},
      {"while retrying, an element never asked to play fails nothing; one asked fails unless "
       "another plays",
       {{0, Play}, {1000, Error, 0, "error 5000"}, {6000, Back}, {8000, Loaded},
        {9000, Wait, 0, "", b}, {10000, Error, 0, "", b}, {10000, Want, 0, "", b, 2},
        {10500, Error, 0, "error 4000", b, 2}, {20000, Back}, {21000, Play, 0, "", c},
        {22000, Want, 0, "", c, 2}, {22000, Error, 0, "", c, 2}, {23000, Time, 2, "", c}}},
      {"media that started before the page finished loading stay heard",
       {{0, Play}, {1000, Error, 0, "error 5000"}, {6000, Back}, {7000, Play, 0, "", b},
        {9000, Loaded}, {12000, Time, 5, "", b}, {26999, Check}, {27000, Check, 0, "stall 10000"}}},
      {"an error after its page stopped it", {{0, Play}, {5000, Time, 5}, {6000, Pause, 6},
                                              {6000, Error, 6}, {60000, Check}}},
      {"nothing plays after the page came back, whose load never finished",
       {{0, Play}, {1000, Error, 0, "error 5000"}, {6000, Back}, {25999, Check},
        {26000, Check, 0, "nothing 4000"}}},
      {"a retry called off: the player came back by itself; the ladder goes on",
       {{0, Play, 0, "", "docaaa", 1, true}, {5000, Time, 5, "", "docaaa", 1, true},
        {6000, Wait, 5}, {19999, Check}, {20000, Check, 0, "stall 5000"},
        {22000, Time, 6, "resumed", "docaaa", 1, true}, {36999, Check},
        {37000, Check, 0, "stall 10000"}, {38000, Pause, 6}, {39000, Play, 6, "resumed"}}},
      {"a late start is not cut",
       {{0, Play}, {1000, Error, 0, "error 5000"}, {6000, Back}, {7000, Loaded},
        {22000, Check, 0, "nothing 4000"}, {23000, Play, 0, "resumed", b},
        {28000, Time, 5, "", b}, {53000, Time, 30, "recovered", b}}},
      {"an audible second player stalls and fails beside one that plays",
       {{0, Play}, {0, Play, 0, "", "docaaa", 2}, {5000, Time, 5}, {5000, Time, 5, "", "docaaa", 2},
        {10000, Time, 10}, {10000, Wait, 5, "", "docaaa", 2}, {15000, Time, 15},
        {26000, Check}, {30000, Time, 30}, {40000, Error, 5, "", "docaaa", 2}, {44999, Check},
        {45000, Check, 0, "stall 5000"}}},
      {"a jingle after the stream, in the stream's element, ends",
       {{0, Play, 0, "", "docaaa", 1, true}, {5000, Time, 5, "", "docaaa", 1, true},
        {6000, Pause, 5}, {6000, Play, 0}, {9000, Time, 3}, {10000, Pause, 4}, {10000, End, 4},
        {90000, Check}}},
      {"the stream ends while a jingle plays: silence once the jingle ended",
       {{0, Play, 0, "", "docaaa", 1, true}, {0, Play, 0, "", "docaaa", 2},
        {3000, End, 3, "", "docaaa", 1}, {5000, Time, 5, "", "docaaa", 2},
        {6000, End, 6, "", "docaaa", 2}, {19999, Check}, {20000, Check, 0, "stall 5000"}}},
      {"a forged storm only ever waits longer; a forged play calls a retry off, never on",
       {{0, Error, 0, "", "forge01", 9}, {0, End, 0, "", "forge02", 5, true},
        {0, Want, 0, "", "forge03", 7}, {0, Error, 0, "error 4000", "forge03", 7},
        {0, Want, 0, "", "forge04", 1}, {0, Error, 0, "", "forge04", 1},
        {0, End, 0, "", "forge04", 2, true}, {1, Time, 3, "resumed", "forge05", 8},
        {1, Error, 3, "", "forge05", 8}, {2, Time, 3, "", "forge06", 3, true},
        {2, End, 3, "", "forge06", 3}, {15001, Check}, {15002, Check, 0, "stall 5000"},
        {15003, Play, 0, "resumed", "forge07", 4}, {15003, Error, 0, "", "forge07", 4},
        {30002, Check}, {30003, Check, 0, "stall 10000"}, {30004, Back},
        {30005, Want, 0, "", "forge08", 1}, {30005, Error, 0, "error 4000", "forge08", 1},
        {30006, Back}, {30007, Want, 0, "", "forge09", 1},
        {30007, Error, 0, "error 4000", "forge09", 1}, {30008, Back},
        {30009, Want, 0, "", "forge10", 1}, {30009, Error, 0, "error 4000", "forge10", 1},
        {30010, Back}, {30011, Want, 0, "", "forge11", 1},
        {30011, Error, 0, "error 20000", "forge11", 1}}},
      {"the station down at open: four tries, then the tick; another page tries again",
       {{0, Play, 0, "", g}, {0, Replaced}, {0, Want}, {500, Error, 0, "error 4000"}, {4500, Back},
        {5000, Want, 0, "", b},
        {5500, Error, 0, "error 4000", b}, {9500, Back}, {10000, Want, 0, "", c},
        {10500, Error, 0, "error 4000", c}, {14500, Back}, {15000, Want, 0, "", d},
        {15500, Error, 0, "error 4000", d}, {19500, Back}, {20000, Want, 0, "", e},
        {20500, Error, 0, "error tick", e}, {60000, Check}, {70000, Replaced},
        {71000, Want, 0, "", f}, {71500, Error, 0, "error 4000", f}}},
      {"asked to play, it never started", {{0, Want}, {14999, Check}, {15000, Check, 0, "stall 4000"}}},
      {"the station down after a fault comes back fast; a few times, then the ladder",
       {{0, Play, 0, "", "docaaa", 1, true}, {5000, Time, 5, "", "docaaa", 1, true},
        {6000, End, 5, "ended 5000"}, {11000, Back}, {11500, Want, 0, "", b},
        {12000, Error, 0, "error 4000", b}, {16000, Back}, {16500, Want, 0, "", c},
        {17000, Error, 0, "error 4000", c}, {21000, Back}, {21500, Want, 0, "", d},
        {22000, Error, 0, "error 4000", d}, {26000, Back}, {26500, Want, 0, "", e},
        {27000, Error, 0, "error 4000", e}, {31000, Back}, {31500, Want, 0, "", f},
        {32000, Error, 0, "error 10000", f}, {42000, Back}, {43000, Play, 0, "", g},
        {48000, Time, 5, "", g}, {73000, Time, 30, "recovered", g},
        {74000, Error, 30, "error 5000", g}, {79000, Back}, {79500, Want, 0, "", h},
        {80000, Error, 0, "error 4000", h}}},
      {"a station that plays 3 s and breaks: 4 reloads in 100 s",
       {{0, Play}, {3000, Time, 3}, {3000, Error, 3, "error 5000"}, {8000, Back},
        {9000, Play, 0, "", b}, {12000, Error, 3, "error 10000", b}, {22000, Back},
        {23000, Play, 0, "", c}, {26000, Error, 3, "error 20000", c}, {46000, Back},
        {47000, Play, 0, "", d}, {50000, Error, 3, "error 40000", d}, {90000, Back},
        {91000, Play, 0, "", e}, {94000, Error, 3, "error 60000", e}}},
      {"the engine lost while playing, then while paused after play",
       {{0, Play}, {5000, Time, 5}, {6000, Lost}, {6000, Back}, {7000, Play, 0, "", b},
        {8000, Pause, 1, "", b}, {9000, Lost}, {9000, Back}, {60000, Check}}},
      {"32 elements are remembered",
       Join({{{0, Play, 0, "", "docaaa", 1, true}}, Crowd(Pause, 2, 32),
             {{1000, End, 0, "ended 5000"}}})},
      {"the 33rd element takes the slot of the least recently heard, afresh",
       Join({{{0, Play, 0, "", "docaaa", 1, true}}, Crowd(Pause, 2, 32),
             {{1000, End, 0, "", "docaaa", 33}, {1000, End}}})},
      {"16 documents are remembered",
       Join({{{0, Bye, 0, "", d01, 0}}, Crowd(Pause, 2, 16, true),
             {{1000, Play, 0, "", d01}, {1000, Error, 0, "", d01}}})},
      {"the 17th document takes the place of the least recently heard",
       Join({{{0, Bye, 0, "", d01, 0}}, Crowd(Pause, 2, 17, true),
             {{1000, Play, 0, "", d01}, {1000, Error, 0, "error 5000", d01}}})},
      {"a player first heard of by its time", {{0, Time}, {1000, Error, 0, "error 5000"}}},
      {"a player back after a stall starts its run anew",
       {{0, Play}, {5000, Time, 5}, {20000, Check, 0, "stall 5000"}, {31000, Time, 6, "resumed"},
        {60000, Time, 35}, {61000, Time, 36, "recovered"}}},
      {"a stream fails while the others wait for data or stand still",
       {{0, Play}, {0, Play, 0, "", "docaaa", 2}, {0, Play, 0, "", "docaaa", 3},
        {5000, Time, 5, "", "docaaa", 3}, {10000, Time, 10}, {15000, Time, 15, "", "docaaa", 2},
        {16000, Wait, 15, "", "docaaa", 2}, {20000, Time, 20},
        {21000, Error, 20, "error 5000"}}},
      {"a page brought back plays and is paused before it loaded",
       {{0, Play}, {1000, Error, 0, "error 5000"}, {6000, Back}, {7000, Play, 0, "", b},
        {8000, Pause, 1, "", b}, {9000, Loaded}, {60000, Check}}},
      {"a reload tick ends the retries",
       {{0, Play}, {1000, Error, 0, "error 5000"}, {3000, Replaced}, {4000, Play, 0, "", b},
        {5000, Error, 0, "error 5000", b}}},
  };
  const std::uint32_t base = 0xFFFFC000u;  // the stories cross the tick count's wrap-around
  for (const auto& story : stories) {
    MediaWatch watch;
    for (const Step& s : story.steps) {
      const std::uint32_t now = base + s.at;
      MediaVerdict verdict;
      switch (s.act) {
        case Check: verdict = watch.Check(now); break;
        case Back: watch.PageBroughtBack(now); break;
        case Replaced: watch.PageReplaced(); break;
        case Loaded: watch.LoadSucceeded(now); break;
        case LoadFail: watch.LoadFailed(); break;
        case Lost: watch.EngineLost(); break;
        default:
          verdict = watch.Report({s.doc, s.act == Bye ? 0 : s.el, static_cast<MediaEvent>(s.act),
                                  s.t, s.inf},
                                 now);
      }
      EXPECT_EQ(Said(verdict), s.expect) << story.name << ", at " << s.at;
    }
  }
}

// Whether media made progress since a tick count (a helper process ended: is the page still heard?).
TEST(MediaWatchRule, HeardSince) {
  const std::uint32_t base = 0xFFFFF000u;  // across the wrap-around
  MediaWatch watch;
  EXPECT_FALSE(watch.HeardSince(base, base + 5000));
  watch.Report({"docaaa", 1, MediaEvent::Play, 0, true}, base + 1000);
  watch.Report({"docaaa", 1, MediaEvent::Time, 5, true}, base + 6000);
  watch.Report({"docaaa", 1, MediaEvent::Pause, 5, true}, base + 8000);  // no progress
  watch.PageBroughtBack(base + 9000);                                   // what was heard stays
  const struct {
    std::uint32_t since, now;
    bool heard;
  } cases[] = {{6000, 9000, true}, {6001, 9000, false}, {0, 7000, true}, {2000, 6000, true},
               {6000, 6000, true}, {7000, 9000, false}};
  for (const auto& c : cases)
    EXPECT_EQ(watch.HeardSince(base + c.since, base + c.now), c.heard) << c.since << " " << c.now;
}

}  // namespace
}  // namespace reprisa
