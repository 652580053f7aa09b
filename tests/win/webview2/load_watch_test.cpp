// The browser's watch over a load in the web view, in this process against the fake runtime with
// the watch's time made short: a load whose server never answers is stopped and reported as
// failed once it has waited that long; a load whose page began to arrive is left to finish,
// however long it takes. And the media watch in frames inside frames, as deep as the runtime
// tells them, within its bound.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/web_runtime.h"
#include "e2e/driver.h"
#include "fake_install.h"
#include "fake_runtime/protocol.h"
#include "support/win_test_support.h"
#include "win/kit/application_win.h"
#include "win/kit/form_win.h"
#include "win/web/web_browser_win.h"

namespace fakewv2 {
namespace {

using reprisa::testing_support::PumpUntil;

struct Watch {
  const char* name;
  const char* control;
  bool fails;  // stopped and reported as failed
};

template <class Param>
class WatchFixture : public testing::TestWithParam<Param> {
 protected:
  static constexpr UINT kNoAnswerMs = 300;

  void SetUp() override {
    app_.Initialize();
    ASSERT_EQ(e2e::Narrow(runtime_.Install(this->GetParam().control)), "");
    const std::wstring dll = runtime_.DllFolder() + L"\\EmbeddedBrowserWebView.dll";
    source_.find = [dll] { return reprisa::RuntimeChoice{dll, false}; };
    source_.load = [this](const reprisa::RuntimeChoice& choice) {
      module_ = LoadLibraryW(choice.dll.c_str());
      return reinterpret_cast<reprisa::wv2::CreateEnvironmentFunction>(reinterpret_cast<void*>(
          GetProcAddress(module_, reprisa::kRuntimeEntryPoint)));
    };
    source_.data_folder = [this] { return runtime_.DllFolder(); };
    reprisa::TWebBrowser::SetWebViewRuntime(&source_);
    form_ = std::make_unique<reprisa::TForm>(nullptr);
    form_->SetBounds(40, 40, 400, 300);
    browser_ = new reprisa::TWebBrowser(form_.get());
    browser_->SetParent(form_.get());
    browser_->SetAlign(reprisa::TAlign::alClient);
    browser_->SetNoAnswerTimeout(kNoAnswerMs);
    browser_->OnLoadFailed = [this] { ++failed_; };
    form_->Handle();
  }

  void TearDown() override {
    form_.reset();
    reprisa::TWebBrowser::SetWebViewRuntime(nullptr);
    reprisa::Application->ProcessMessages();
    Unload(module_);
    EXPECT_EQ(e2e::Narrow(Faults(runtime_.Log())), "") << Dump(runtime_.Log());
    runtime_.Remove();
  }

  reprisa::TApplication app_;
  FakeRuntime runtime_;
  reprisa::WebViewRuntime source_;
  HMODULE module_ = nullptr;
  std::unique_ptr<reprisa::TForm> form_;
  reprisa::TWebBrowser* browser_ = nullptr;
  int failed_ = 0;
};
using LoadWatch = WatchFixture<Watch>;

// A failed load is brought back as the program brings it back (Recover): opened again at its
// address, not reloaded, which would show the page before it.
TEST_P(LoadWatch, EndsALoadOnlyWhenItsServerNeverAnswers) {
  ASSERT_TRUE(PumpUntil([&] { return browser_->Engine() == reprisa::EngineState::WebView; },
                        10000))
      << Dump(runtime_.Log());
  const std::wstring page = L"http://127.0.0.1:9/watched";
  browser_->Navigate(page);
  const int times = GetParam().fails ? 2 : 0;
  for (int time = 1; time <= times; ++time) {
    const DWORD opened = GetTickCount();
    if (time > 1) browser_->Recover();
    ASSERT_TRUE(PumpUntil([&] { return failed_ == time; }, 5000)) << Dump(runtime_.Log());
    EXPECT_GE(GetTickCount() - opened, kNoAnswerMs - 50) << "reported before its time";
    // The stopped load's own report (cancelled) comes before the next try.
    auto reports = [&] { return LinesFrom(runtime_.Log(), L"raised NavigationCompleted").size(); };
    ASSERT_TRUE(PumpUntil([&] { return reports() == static_cast<size_t>(time); }, 5000));
  }
  if (!GetParam().fails) {
    ASSERT_TRUE(PumpUntil([&] { return Find(runtime_.Log(), L"raised ContentLoading") >= 0; },
                          5000))
        << Dump(runtime_.Log());
  }
  EXPECT_FALSE(PumpUntil([&] { return failed_ > times; }, 3 * kNoAnswerMs)) << "reported again";
  const std::vector<std::wstring> log = runtime_.Log();
  EXPECT_EQ(CallsOf(log, L"WebView.Stop").size(), static_cast<size_t>(times)) << Dump(log);
  EXPECT_EQ(CallsOf(log, L"WebView.Navigate"),
            std::vector<std::wstring>(std::max(times, 1), page)) << Dump(log);
  EXPECT_EQ(CallsOf(log, L"WebView.Reload").size(), 0u) << Dump(log);
}

INSTANTIATE_TEST_SUITE_P(Each, LoadWatch,
                         testing::Values(Watch{"NeverAnswered", "navigation=hang\n", true},
                                         Watch{"BeganToArrive", "navigation=arrive\n", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A load whose server never answers, replaced by the program's next load or by one the page
// starts itself, is reported cancelled once the new load has begun: that late report is the old
// load's. The new load is watched all the same, stopped and tried again at its own address.
struct Replacement {
  const char* name;
  const char* control;
  bool by_the_page;
};
using ReplacedLoad = WatchFixture<Replacement>;

TEST_P(ReplacedLoad, LeavesTheNextLoadWatched) {
  ASSERT_TRUE(PumpUntil([&] { return browser_->Engine() == reprisa::EngineState::WebView; },
                        10000))
      << Dump(runtime_.Log());
  browser_->Navigate(L"http://127.0.0.1:9/first");
  std::wstring next = L"http://127.0.0.1:9/by-the-page";
  if (GetParam().by_the_page) {
    HWND view = FindWindowExW(browser_->WindowHandle(), nullptr, kViewClass, nullptr);
    ASSERT_NE(view, nullptr);
    PostMessageW(view, kPageLoadsMessage, 0, 0);
  } else {
    next = L"http://127.0.0.1:9/second";
    browser_->Navigate(next);
  }
  ASSERT_TRUE(PumpUntil(
      [&] { return Find(runtime_.Log(), L"navigation 1 completes with status 14") >= 0; }, 5000))
      << Dump(runtime_.Log());
  ASSERT_TRUE(PumpUntil([&] { return failed_ == 1; }, 5000))
      << "the load after it was never stopped\n" << Dump(runtime_.Log());
  EXPECT_EQ(CallsOf(runtime_.Log(), L"WebView.Stop").size(), 1u);
  browser_->Recover();
  const size_t opened = GetParam().by_the_page ? 2 : 3;
  ASSERT_TRUE(PumpUntil(
      [&] { return CallsOf(runtime_.Log(), L"WebView.Navigate").size() == opened; }, 5000));
  EXPECT_EQ(e2e::Narrow(CallsOf(runtime_.Log(), L"WebView.Navigate").back()), e2e::Narrow(next));
}

INSTANTIATE_TEST_SUITE_P(
    Each, ReplacedLoad,
    testing::Values(Replacement{"ByTheProgram", "navigation=hang\n", false},
                    Replacement{"ByThePage", "navigation=hang\n", true}),
    [](const auto& info) { return std::string(info.param.name); });

// A hash-routed page (its station in the fragment) whose load never answers is stopped, and the
// retry loads it again for real, whatever the web view shows by then: the runtime opens an address
// with a fragment of the document shown within that document, and reports no load of it. The
// reload ticks after it load it too, and the watch still hears the page's own loads.
struct HashRoute {
  const char* name;
  const char* control;    // at the start
  const wchar_t* first;   // the address loaded before (null: none)
  const wchar_t* pushed;  // where the page moved itself then with history.pushState (or null)
  bool reload_hangs;      // the load that hangs is a reload tick's (else the station opened)
};
using HashRoutedPage = WatchFixture<HashRoute>;

constexpr wchar_t kStation[] = L"http://127.0.0.1:9/#/station/5";

// The address the last load the fake began was of.
std::wstring LastStarted(const std::vector<std::wstring>& log) {
  std::wstring last;
  for (const std::wstring& line : LinesFrom(log, L"navigation "))
    if (const size_t at = line.find(L" starts at "); at != std::wstring::npos)
      last = line.substr(at + 11);
  return last;
}

TEST_P(HashRoutedPage, IsReallyLoadedAgainAfterAStoppedLoad) {
  const HashRoute& r = GetParam();
  int loaded = 0;
  browser_->OnLoaded = [&] { ++loaded; };
  ASSERT_TRUE(PumpUntil([&] { return browser_->Engine() == reprisa::EngineState::WebView; },
                        10000));
  HWND view = FindWindowExW(browser_->WindowHandle(), nullptr, kViewClass, nullptr);
  ASSERT_NE(view, nullptr);
  if (r.first) {
    browser_->Navigate(r.first);
    ASSERT_TRUE(PumpUntil([&] { return loaded == 1; }, 5000)) << Dump(runtime_.Log());
  }
  if (r.pushed) {
    std::wstring address = r.pushed;
    COPYDATASTRUCT data{kPushedState, static_cast<DWORD>(address.size() * sizeof(wchar_t)),
                        address.data()};
    SendMessageW(view, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    ASSERT_TRUE(PumpUntil(
        [&] { return Find(runtime_.Log(), L"within the document to " + address) >= 0; }, 5000));
  }
  ASSERT_EQ(e2e::Narrow(runtime_.SetControl("navigation=hang\n")), "");
  if (r.reload_hangs)
    browser_->Refresh();
  else
    browser_->Navigate(kStation);
  ASSERT_TRUE(PumpUntil([&] { return failed_ == 1; }, 5000)) << Dump(runtime_.Log());
  ASSERT_EQ(e2e::Narrow(runtime_.SetControl("")), "");
  const int before = loaded;
  browser_->Recover();
  EXPECT_TRUE(PumpUntil([&] { return loaded == before + 1; }, 5000))
      << "the retry loaded nothing\n" << Dump(runtime_.Log());
  EXPECT_EQ(e2e::Narrow(LastStarted(runtime_.Log())), e2e::Narrow(kStation));
  browser_->Refresh();
  EXPECT_TRUE(PumpUntil([&] { return loaded == before + 2; }, 5000))
      << "the reload tick loaded nothing\n" << Dump(runtime_.Log());
  EXPECT_EQ(e2e::Narrow(LastStarted(runtime_.Log())), e2e::Narrow(kStation));
  // The page's own load that never answers is still watched.
  ASSERT_EQ(e2e::Narrow(runtime_.SetControl("navigation=hang\n")), "");
  PostMessageW(view, kPageLoadsMessage, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return failed_ == 2; }, 5000)) << Dump(runtime_.Log());
}

INSTANTIATE_TEST_SUITE_P(
    Each, HashRoutedPage,
    testing::Values(
        HashRoute{"FirstLoadHangs", "", nullptr, nullptr, false},
        HashRoute{"ItsReloadHangs", "", kStation, nullptr, true},
        HashRoute{"ItsReloadHangsAfterThePageMovedOn", "", kStation,
                  L"http://127.0.0.1:9/#/station/6", true},
        HashRoute{"OpenedFromAnotherStation", "", L"http://127.0.0.1:9/#/station/4", nullptr,
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the media watch in frames -------------------------------------------------------------

// The page posts `text` from a document at `source`, as `kind` (protocol.h) says.
bool PagePosts(HWND view, ULONG_PTR kind, const std::wstring& source, const std::string& text) {
  std::wstring data = source + L"\n" + std::wstring(text.begin(), text.end());
  COPYDATASTRUCT copy{kind, static_cast<DWORD>(data.size() * sizeof(wchar_t)), data.data()};
  return SendMessageW(view, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)) == TRUE;
}

// A player in a frame inside frames is heard where the runtime tells the frames made inside a
// frame (a frame's seventh interface), at any depth; a runtime without that still passes on what
// the top document's frames post, and nothing else changes (the fixture checks the fake's log for
// faults and references kept).
struct NestedFrame {
  const char* name;
  const char* control;
  ULONG_PTR posted;  // kPostedInFrame + how many frames further in
  bool heard;
};
class FrameWatch : public WatchFixture<NestedFrame> {
 protected:
  void SetUp() override {
    WatchFixture::SetUp();
    ASSERT_TRUE(PumpUntil([&] { return browser_->Engine() == reprisa::EngineState::WebView; },
                          10000))
        << Dump(runtime_.Log());
    browser_->OnMediaMessage = [this](std::string_view text) { heard_.emplace_back(text); };
    view_ = FindWindowExW(browser_->WindowHandle(), nullptr, kViewClass, nullptr);
    ASSERT_NE(view_, nullptr);
  }

  // Posts `text` from the frame `depth` levels further in than the top document's frame, then a
  // mark from the top document's frame, and waits until the mark is heard: what was heard before.
  std::vector<std::string> HeardFrom(ULONG_PTR depth, const std::string& text) {
    heard_.clear();
    const std::wstring player = L"http://127.0.0.1:9/player";
    EXPECT_TRUE(PagePosts(view_, kPostedInFrame + depth, player, text));
    EXPECT_TRUE(PagePosts(view_, kPostedInFrame, player, "mark"));
    EXPECT_TRUE(PumpUntil([&] { return !heard_.empty() && heard_.back() == "mark"; }, 5000))
        << Dump(runtime_.Log());
    std::vector<std::string> before = heard_;
    if (!before.empty()) before.pop_back();
    return before;
  }

  HWND view_ = nullptr;
  std::vector<std::string> heard_;
};

TEST_P(FrameWatch, HearsAFrameInsideFramesWhereTheRuntimeTellsIt) {
  const std::vector<std::string> heard = HeardFrom(GetParam().posted - kPostedInFrame, "player");
  EXPECT_EQ(heard, GetParam().heard ? std::vector<std::string>{"player"}
                                    : std::vector<std::string>{})
      << Dump(runtime_.Log());
}

INSTANTIATE_TEST_SUITE_P(
    Each, FrameWatch,
    testing::Values(NestedFrame{"InAFrame", "", kPostedInFrame + 1, true},
                    NestedFrame{"ThreeFramesIn", "", kPostedInFrame + 3, true},
                    NestedFrame{"InAFrameWithoutFrame7", "frame7=no\n", kPostedInFrame + 1, false},
                    NestedFrame{"TopFramesWithoutFrame7", "frame7=no\n", kPostedInFrame, true}),
    [](const auto& info) { return std::string(info.param.name); });

// At most 64 frames are watched at once: the 64th frame in is heard, the 65th and deeper are not.
// When the page goes, its frames go with it and leave their places to the next page's.
class FrameBound : public FrameWatch {};

TEST_P(FrameBound, WatchesSixtyFourFramesAtOnce) {
  EXPECT_EQ(HeardFrom(70, "70"), std::vector<std::string>{}) << Dump(runtime_.Log());
  EXPECT_EQ(HeardFrom(64, "65th"), std::vector<std::string>{}) << Dump(runtime_.Log());
  EXPECT_EQ(HeardFrom(63, "64th"), std::vector<std::string>{"64th"}) << Dump(runtime_.Log());
  browser_->Navigate(L"http://127.0.0.1:9/next");
  ASSERT_TRUE(PumpUntil(
      [&] { return LinesFrom(runtime_.Log(), L"raise Destroyed").size() >= 71; }, 5000))
      << Dump(runtime_.Log());
  EXPECT_EQ(HeardFrom(2, "next page"), std::vector<std::string>{"next page"})
      << Dump(runtime_.Log());
}

INSTANTIATE_TEST_SUITE_P(Deep, FrameBound,
                         testing::Values(NestedFrame{"Chain", "", kPostedInFrame + 70, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace fakewv2
