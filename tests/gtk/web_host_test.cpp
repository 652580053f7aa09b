// Where the program keeps its files, and cookies that outlive the web view that received them
// (a site the user signed in to stays signed in across restarts).
#include <gtest/gtest.h>
#include <libsoup/soup.h>

#include <filesystem>
#include <memory>
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

}  // namespace
}  // namespace reprisa
