// Where the program keeps its files, and cookies that outlive the web view that received them
// (a site the user signed in to stays signed in across restarts).
#include <gtest/gtest.h>
#include <libsoup/soup.h>

#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "gtk/main_window.h"
#include "gtk/web_view_gtk.h"
#include "gtk_test_support.h"

namespace reprisa {
namespace {

using testing_gtk::PumpUntil;
using testing_gtk::ScratchDir;

TEST(UserAppFolders, KeepEverythingInTheProgramsXdgFoldersAndNameTheKeyFileAfterTheExecutable) {
  struct {
    const char* executable;
    const char* key_file;
  } cases[] = {
      {"/usr/bin/reprisa", "/config/reprisa/reprisa.ini"},
      {"./reprisa", "/config/reprisa/reprisa.ini"},
      {"reprisa", "/config/reprisa/reprisa.ini"},
      {"/opt/tools/reprisa-test.bin", "/config/reprisa/reprisa-test.ini"},
      {"", "/config/reprisa/reprisa.ini"},
  };
  const std::string& home = testing_gtk::UserFolders();  // as main() set XDG_*_HOME
  ASSERT_FALSE(home.empty());
  for (const auto& c : cases) {
    AppFolders f = UserAppFolders(c.executable);
    EXPECT_EQ(f.placement_file, home + c.key_file) << c.executable;
    EXPECT_EQ(f.data_dir, home + "/data/reprisa") << c.executable;
    EXPECT_EQ(f.cache_dir, home + "/cache/reprisa") << c.executable;
  }
}

WebKitCookieManager* Cookies(WebHost& host) {
  return webkit_website_data_manager_get_cookie_manager(
      webkit_web_view_get_website_data_manager(host.View()));
}

// The cookies the host's web view would send to `uri`, by name.
std::vector<std::string> CookieNames(WebHost& host, const char* uri) {
  struct Result {
    bool done = false;
    std::vector<std::string> names;
  } result;
  webkit_cookie_manager_get_cookies(
      Cookies(host), uri, nullptr,
      +[](GObject* manager, GAsyncResult* res, gpointer data) {
        auto* r = static_cast<Result*>(data);
        GList* list = webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(manager), res,
                                                               nullptr);
        for (GList* c = list; c; c = c->next)
          r->names.push_back(soup_cookie_get_name(static_cast<SoupCookie*>(c->data)));
        g_list_free_full(list, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
        r->done = true;
      },
      &result);
  EXPECT_TRUE(PumpUntil([&] { return result.done; }, 10000));
  return result.names;
}

TEST(HasRenderNode, OnlyARenderNodeCountsAsAGpu) {
  struct {
    std::vector<const char*> files;
    bool gpu;
  } cases[] = {
      {{"card0", "renderD128"}, true},
      {{"renderD129"}, true},
      {{"card0"}, false},  // a display controller without a render node
      {{"by-path"}, false},
      {{}, false},
  };
  for (const auto& c : cases) {
    ScratchDir dri;
    for (const char* name : c.files)
      ASSERT_TRUE(g_file_set_contents((dri / name).c_str(), "", 0, nullptr));
    EXPECT_EQ(HasRenderNode(dri.path()), c.gpu) << (c.files.empty() ? "(none)" : c.files.back());
  }
  EXPECT_FALSE(HasRenderNode("/nonexistent-dri-folder"));
}

TEST(WebHost, CookiesOutliveTheWebViewInTheDataFolder) {
  ScratchDir dir;
  const std::string data = dir / "data/reprisa";
  {
    WebHost host(data, dir / "cache");
    SoupCookie* cookie = soup_cookie_new("session", "signed-in", "example.test", "/", 3600);
    bool added = false;
    webkit_cookie_manager_add_cookie(
        Cookies(host), cookie, nullptr,
        +[](GObject* manager, GAsyncResult* res, gpointer flag) {
          webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(manager), res, nullptr);
          *static_cast<bool*>(flag) = true;
        },
        &added);
    soup_cookie_free(cookie);
    ASSERT_TRUE(PumpUntil([&] { return added; }, 10000));
    EXPECT_EQ(CookieNames(host, "http://example.test/"), std::vector<std::string>{"session"});
  }
  EXPECT_TRUE(std::filesystem::is_regular_file(data + "/cookies.sqlite"));
  // A new web view on the same folder, as at the next start.
  WebHost again(data, dir / "cache");
  EXPECT_EQ(CookieNames(again, "http://example.test/"), std::vector<std::string>{"session"});
  // Another folder holds none of them.
  WebHost other(dir / "other", dir / "cache2");
  EXPECT_TRUE(CookieNames(other, "http://example.test/").empty());
}

// A page that first changes everything a script of its world could look up later (Object.prototype
// setters, JSON, WeakMap, getters of media elements and events, the channel's postMessage,
// addEventListener, getRootNode), sends its media elements the events of a player that played and
// failed, and only then gives them sources that really fail at the open: an element in the
// document that should play by itself (heard in the program's own world) and one it made and
// plays (heard in its own world).
constexpr char kForgingPage[] = R"html(<!doctype html><body><audio id="in"></audio><script>
const define = (o, key, get) => Object.defineProperty(o, key, {get, set() {}, configurable: true});
for (const key of ["v", "doc", "el", "ev", "t", "inf", "n", "said"]) define(Object.prototype, key, () => 5);
JSON.stringify = () => "{}";
WeakMap.prototype.get = () => undefined;
WeakMap.prototype.has = () => true;
define(HTMLMediaElement.prototype, "currentTime", () => 77);
define(HTMLMediaElement.prototype, "muted", () => true);
define(Event.prototype, "type", () => "playing");
Node.prototype.getRootNode = () => document;
Date.now = () => 0;
webkit.messageHandlers.reprisaMediaPage.postMessage = () => {};
EventTarget.prototype.addEventListener = () => {};
const el = document.getElementById("in"), made = new Audio();
made.load();
for (const target of [el, made])
  for (const type of ["loadstart", "play", "playing", "timeupdate", "ended", "error"])
    target.dispatchEvent(new Event(type));
const broken = "data:audio/mpeg;base64,AAAA";
el.autoplay = true;
el.src = broken;
made.src = broken;
made.play().catch(() => {});
</script></body>)html";

TEST(WebHost, TheMediaScriptForwardsOnlyWhatTheEngineDidWhateverThePageChanged) {
  ScratchDir dir;
  WebHost host(dir / "data", dir / "cache");
  // The engine starts no media of a page that is in no mapped window.
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_container_add(GTK_CONTAINER(window), host.Widget());
  gtk_widget_show_all(window);
  std::vector<std::string> messages;
  host.events.media_message = [&](std::string_view m) { messages.emplace_back(m); };
  webkit_web_view_load_html(host.View(), kForgingPage, "http://127.0.0.1/");
  const auto errors = [&] {
    int n = 0;
    for (const std::string& m : messages) n += m.find(R"("ev":"error")") != std::string::npos;
    return n;
  };
  ASSERT_TRUE(PumpUntil([&] { return errors() >= 2; }, 10000)) << testing::PrintToString(messages);
  // The forged events came first: had any been forwarded, it is here by now. Each world speaks
  // as a document of its own; waiting for data is the engine's own word, which may come or not.
  const std::regex shape(
      R"re(\{"v":1,"doc":"([a-z0-9]{12})","el":1,"ev":"([a-z]+)","t":0,"inf":false\})re");
  std::map<std::string, std::vector<std::string>> said;
  for (const std::string& m : messages) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(m, match, shape)) << m;
    if (match[2] != "wait") said[match[1]].push_back(match[2]);
  }
  ASSERT_EQ(said.size(), 2u) << testing::PrintToString(messages);
  for (const auto& [doc, events] : said)
    EXPECT_EQ(events, (std::vector<std::string>{"want", "error"})) << doc;
  gtk_widget_destroy(window);
}

}  // namespace
}  // namespace reprisa
