// What the web view tells the window of its page (loaded, failed, its web process ended), how it
// brings the page back, and how it moves the page to a fresh web process, against a loopback
// site of the test's own.
#include <gtest/gtest.h>
#include <libsoup/soup.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/utf8.h"
#include "gtk/main_window.h"
#include "gtk/web_processes_gtk.h"
#include "gtk/web_view_gtk.h"
#include "gtk_test_support.h"

namespace reprisa {
namespace {

using testing_gtk::PumpUntil;
using testing_gtk::ScratchDir;
using Told = std::vector<std::string>;

// A loopback site: "/<status>" answers that status, "/login" sets a session cookie, "/slow" never
// answers, "/held" answers once released, "/loop" redirects to itself, anything else answers 200.
// Notes each request's path and Cookie header.
class Site {
 public:
  explicit Site(guint port = 0) : server_(soup_server_new(nullptr, nullptr)) {
    soup_server_add_handler(server_.get(), nullptr, &Site::Handle, this, nullptr);
    GErrorBox error;
    EXPECT_TRUE(soup_server_listen_local(server_.get(), port, SOUP_SERVER_LISTEN_IPV4_ONLY,
                                         error.out()))
        << error.message();
    GSList* uris = soup_server_get_uris(server_.get());
    port_ = uris ? static_cast<guint>(g_uri_get_port(static_cast<GUri*>(uris->data))) : 0;
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  guint port() const { return port_; }
  // Answers the "/held" requests waiting, and those to come at once.
  void Release() {
    released_ = true;
    for (SoupServerMessage* message : held_) {
      Answer(message, 200);
      soup_server_message_unpause(message);
    }
    held_.clear();
  }
  long Count(const std::string& path) const {
    return std::count_if(requests.begin(), requests.end(),
                         [&](const Request& r) { return r.path == path; });
  }

  struct Request {
    std::string path, cookie;
  };
  std::vector<Request> requests;

 private:
  static void Handle(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                     gpointer self) {
    auto* site = static_cast<Site*>(self);
    const char* cookie = soup_message_headers_get_one(
        soup_server_message_get_request_headers(message), "Cookie");
    site->requests.push_back({path, cookie ? cookie : ""});
    const std::string p = path;
    if (p == "/slow") return soup_server_message_pause(message);
    if (p == "/held" && !site->released_) {
      site->held_.push_back(message);
      return soup_server_message_pause(message);
    }
    if (p == "/loop") {
      return soup_server_message_set_redirect(message, SOUP_STATUS_FOUND, "/loop");
    }
    guint status = 200;
    if (const long number = std::strtol(path + 1, nullptr, 10); number >= 200 && number <= 599)
      status = static_cast<guint>(number);
    if (p == "/login") {
      soup_message_headers_append(soup_server_message_get_response_headers(message),
                                  "Set-Cookie", "session=signed-in; Path=/");
    }
    Answer(message, status);
  }
  static void Answer(SoupServerMessage* message, guint status) {
    static const char kBody[] = "<html><body>page</body></html>";
    soup_server_message_set_status(message, status, nullptr);
    soup_server_message_set_response(message, "text/html", SOUP_MEMORY_STATIC, kBody,
                                     sizeof kBody - 1);
  }

  GRef<SoupServer> server_;
  guint port_ = 0;
  bool released_ = false;
  std::vector<SoupServerMessage*> held_;
};

class WebRecovery : public testing::Test {
 protected:
  WebRecovery() {
    host.events.engine_lost = [this] { told.push_back("lost"); };
    host.events.load_failed = [this] { told.push_back("failed"); };
    host.events.load_succeeded = [this] { told.push_back("loaded"); };
  }
  // Waits until `count` reports came and the view is done loading (an error page included).
  bool Settled(std::size_t count) {
    return PumpUntil(
        [&] { return told.size() >= count && !webkit_web_view_is_loading(host.View()); }, 15000);
  }
  // Opens a page that surely loads and waits for it: whatever the view had to tell of the pages
  // before it has been told by then.
  void Sentinel() {
    const std::size_t before = told.size();
    host.Navigate(WidenUtf8(site.Url("/sentinel")));
    EXPECT_TRUE(Settled(before + 1));
  }

  ScratchDir dir;
  Site site;
  WebHost host{dir / "data", dir / "cache"};
  Told told;
};

TEST_F(WebRecovery, TellsWhetherThePageItselfLoaded) {
  const std::string refused = Site().Url("/");  // gone with it: the connection is refused
  struct {
    std::string address;
    const char* told;
  } cases[] = {
      {site.Url("/200"), "loaded"},
      {site.Url("/404"), "loaded"},  // the site's own answer, not a passing failure
      {site.Url("/500"), "failed"},
      {site.Url("/503"), "failed"},
      {site.Url("/599"), "failed"},
      {refused, "failed"},  // and the engine's error page after it is no success
      {"http://reprisa-test.invalid/", "failed"},
      // Failures of other kinds, the engine's error page after each no success either.
      {site.Url("/loop"), "failed"},
      {"/nonexistent-reprisa-test/page.html", "failed"},
  };
  for (const auto& c : cases) {
    told.clear();
    host.Navigate(WidenUtf8(c.address));
    EXPECT_TRUE(Settled(1)) << c.address;
    Sentinel();
    EXPECT_EQ(told, (Told{c.told, "loaded"})) << c.address;
  }
  // A load cut short by the next one is no failure.
  told.clear();
  host.Navigate(WidenUtf8(site.Url("/slow")));
  ASSERT_TRUE(PumpUntil(
      [&] { return !site.requests.empty() && site.requests.back().path == "/slow"; }));
  Sentinel();
  EXPECT_EQ(told, Told{"loaded"});
}

TEST_F(WebRecovery, RecoveringLoadsTheAddressThatFailedAgain) {
  host.Navigate(WidenUtf8(site.Url("/200")));
  ASSERT_TRUE(Settled(1));
  const guint port = Site().port();  // a site that is down, then back on the same port
  host.Navigate(WidenUtf8("http://127.0.0.1:" + std::to_string(port) + "/back"));
  ASSERT_TRUE(Settled(2));
  Site back(port);
  host.Recover();
  ASSERT_TRUE(Settled(3));
  ASSERT_FALSE(back.requests.empty());
  EXPECT_EQ(back.requests.back().path, "/back");
  EXPECT_EQ(told, (Told{"loaded", "failed", "loaded"}));
}

TEST_F(WebRecovery, APageThatDoesNotStartArrivingInTimeFailsAndIsLoadedAgain) {
  host.SetLoadTimeout(300);
  host.Navigate(WidenUtf8(site.Url("/slow")));
  ASSERT_TRUE(Settled(1));
  EXPECT_EQ(told, Told{"failed"});
  host.Recover();
  ASSERT_TRUE(Settled(2));
  EXPECT_EQ(told, (Told{"failed", "failed"}));
  EXPECT_EQ(site.Count("/slow"), 2);
}

TEST_F(WebRecovery, AnEndedOrHungWebProcessIsALossButOneWeReplacedIsNotAndKeepsTheCookies) {
  host.Navigate(WidenUtf8(site.Url("/login")));
  ASSERT_TRUE(Settled(1));
  const std::vector<pid_t> first = WebProcessIds(getpid());
  ASSERT_FALSE(first.empty());
  for (pid_t pid : first) kill(pid, SIGKILL);
  ASSERT_TRUE(PumpUntil([&] { return told.size() == 2; }));
  EXPECT_EQ(told.back(), "lost");
  host.Recover();  // no address on the view now: the last one shown is loaded
  ASSERT_TRUE(Settled(3));
  EXPECT_EQ(site.requests.back().path, "/login");

  // A web process that stops answering is ended and lost too.
  for (pid_t pid : WebProcessIds(getpid())) kill(pid, SIGSTOP);
  host.Refresh();
  ASSERT_TRUE(PumpUntil([&] { return told.size() == 4; }, 20000));
  EXPECT_EQ(told.back(), "lost");
  host.Recover();
  ASSERT_TRUE(Settled(5));

  const std::vector<pid_t> before = WebProcessIds(getpid());
  const auto reading = ReadWebProcesses(getpid());
  ASSERT_TRUE(reading.has_value());
  EXPECT_GT(reading->kib, 1024u);
  host.Recycle();
  ASSERT_TRUE(Settled(6));
  EXPECT_EQ(told, (Told{"loaded", "lost", "loaded", "lost", "loaded", "loaded"}));
  EXPECT_EQ(site.requests.back().path, "/login");
  EXPECT_EQ(site.requests.back().cookie, "session=signed-in");  // a session cookie, even
  const std::vector<pid_t> after = WebProcessIds(getpid());
  ASSERT_FALSE(after.empty());
  EXPECT_NE(after, before);
  const auto fresh = ReadWebProcesses(getpid());
  ASSERT_TRUE(fresh.has_value());
  EXPECT_NE(fresh->identity, reading->identity);
}

TEST(MainWindowReload, ReplacesTheWebProcessWhenItStayedPastItsBudget) {
  ScratchDir dir;
  Site site;
  MainWindow window(AppFolders{dir / "config/reprisa.ini", dir / "data", dir / "cache"});
  EngineMemoryBudget::Reading reading{1, 0, 100000};
  window.read_web_memory = [&] { return reading; };
  const auto loaded = [&](std::size_t requests) {
    return PumpUntil([&] {
      return site.requests.size() >= requests && !webkit_web_view_is_loading(window.Web().View());
    });
  };
  window.Web().Navigate(WidenUtf8(site.Url("/page")));
  ASSERT_TRUE(loaded(1));
  const std::vector<pid_t> first = WebProcessIds(getpid());
  constexpr std::uint64_t kSettled = EngineMemoryBudget::kSettleSeconds;
  constexpr std::uint64_t kGrown = 100001 + EngineMemoryBudget::kBudgetKiB;
  struct {
    std::uint64_t age, kib;
    int recycles;
  } ticks[] = {
      {kSettled, 100000, 0},
      {kSettled + 10, kGrown, 0},
      {kSettled + 10 + EngineMemoryBudget::kGrownSeconds, kGrown, 1},
  };
  for (const auto& t : ticks) {
    reading.age_seconds = t.age;
    reading.kib = t.kib;
    const std::size_t before = site.requests.size();
    window.ReloadTimer().Tick();
    EXPECT_TRUE(loaded(before + 1)) << t.age;  // a reload either way
    EXPECT_EQ(window.Recycles(), t.recycles) << t.age;
    EXPECT_EQ(site.requests.back().path, "/page");
  }
  const std::vector<pid_t> now = WebProcessIds(getpid());
  EXPECT_FALSE(now.empty());
  EXPECT_NE(now, first);
}

TEST(MainWindowReload, AReadingOfTheWebProcessesThatFailsCostsNoReload) {
  ScratchDir dir;
  Site site;
  MainWindow window(AppFolders{dir / "config/reprisa.ini", dir / "data", dir / "cache"});
  window.read_web_memory = []() -> std::optional<EngineMemoryBudget::Reading> {
    // A process ended while it was read.
    throw std::filesystem::filesystem_error("/proc",
                                            std::make_error_code(std::errc::no_such_process));
  };
  window.Web().Navigate(WidenUtf8(site.Url("/page")));
  ASSERT_TRUE(PumpUntil([&] { return site.Count("/page") == 1; }));
  window.ReloadTimer().Tick();
  EXPECT_TRUE(PumpUntil([&] { return site.Count("/page") == 2; }));
}

// An address that fails (503), then a new one whose first answer comes only after a reload tick
// or a loss of the web process: the new one is shown, the failing one never asked for again.
TEST(MainWindowOpen, ANewAddressIsNeverGivenUpForOneThatFailedBefore) {
  for (const bool tick : {true, false}) {
    SCOPED_TRACE(tick ? "reload tick" : "web process lost");
    ScratchDir dir;
    Site site;
    MainWindow window(AppFolders{dir / "config/reprisa.ini", dir / "data", dir / "cache"});
    WebKitWebView* view = window.Web().View();
    window.Presenter().OpenAddress(WidenUtf8(site.Url("/503")));
    ASSERT_TRUE(PumpUntil([&] { return site.Count("/503") && !webkit_web_view_is_loading(view); }));
    window.Presenter().OpenAddress(WidenUtf8(site.Url("/held")));
    ASSERT_TRUE(PumpUntil([&] { return site.Count("/held") == 1; }));
    if (tick) {
      window.ReloadTimer().Tick();
    } else {
      for (pid_t pid : WebProcessIds(getpid())) kill(pid, SIGKILL);
    }
    // A page is asked for again: the one to show, or the failing one.
    ASSERT_TRUE(PumpUntil([&] { return site.Count("/held") + site.Count("/503") > 2; }, 10000));
    site.Release();
    const std::string held = site.Url("/held");
    EXPECT_TRUE(PumpUntil(
        [&] { return !webkit_web_view_is_loading(view) && held == webkit_web_view_get_uri(view); },
        10000));
    EXPECT_EQ(site.Count("/503"), 1);
  }
}

}  // namespace
}  // namespace reprisa
