// The embedded browser: one WebKit web view with its own web context, whose cookies and site
// storage live in a folder of the program's, media allowed to start without a click, and a
// page that comes back after its web process ended. Set up for one page reloaded for hours: no
// caches of pages or resources, a web process that trims itself early, and no GL in software.
#pragma once

#include <webkit2/webkit2.h>

#include <string>

#include "gtk/gtk_ptr.h"

namespace reprisa {

class WebHost {
 public:
  // data_dir holds cookies and site storage (made when missing); cache_dir the web cache.
  WebHost(const std::string& data_dir, const std::string& cache_dir);
  ~WebHost();
  WebHost(const WebHost&) = delete;
  WebHost& operator=(const WebHost&) = delete;

  // The web view widget (owned by the window it is packed into).
  GtkWidget* Widget() const noexcept { return GTK_WIDGET(view_); }
  WebKitWebView* View() const noexcept { return view_; }

  // Opens the address typed by the user, made absolute by the program's one rule (a path opens
  // the file, a text without a scheme is taken as an http address).
  void Navigate(const std::string& address);

  // Reloads the page now shown (also one reached through a link). After the web process ended,
  // loads the last address it showed again instead, so the window does not stay blank.
  void Refresh();

  // Whether the web process ended since the page was last (re)loaded.
  bool WebProcessEnded() const noexcept { return ended_; }
  // The address of the page last committed, "" before any.
  const std::string& LastUri() const noexcept { return last_uri_; }

 private:
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static void OnTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                           gpointer self);

  GRef<WebKitWebContext> context_;
  WebKitWebView* view_ = nullptr;  // floating until packed; we hold a reference of our own
  std::string last_uri_;
  bool ended_ = false;
};

// Whether dri_folder (the system's is /dev/dri) holds a DRM render node ("renderD<n>"): without
// one there is no GPU to render with, and GL would run in software.
bool HasRenderNode(const std::string& dri_folder);

}  // namespace reprisa
