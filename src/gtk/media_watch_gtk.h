// The page's side of the media watch on WebKitGTK: the program's script, injected into every
// frame (other sites' frames too) in a script world of the program's own, where the page can
// neither see nor break it, and the channel on which it reports what the page's media elements
// do. That world reaches only what is in the document; players the page keeps outside it (or in
// shadow roots) are heard by the same script in the page's own world, on a channel of its own
// that the page can post on too. The host only passes each message on; what they mean is the
// core's rule, whose reader trusts neither channel.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <string_view>

namespace reprisa {

class MediaWatchGtk {
 public:
  // Adds the script and the channel to the view's content manager; `received` gets each
  // message's text (a string; anything else the channel carries is dropped). It must not throw.
  MediaWatchGtk(WebKitWebView* view, std::function<void(std::string_view)> received);
  ~MediaWatchGtk();
  MediaWatchGtk(const MediaWatchGtk&) = delete;
  MediaWatchGtk& operator=(const MediaWatchGtk&) = delete;

  // The script world's name: no page can name it, so none can reach the channel.
  static constexpr const char* kWorld = "reprisa-media";

 private:
  static void OnMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* result,
                        gpointer self);

  WebKitUserContentManager* manager_;  // the view's; we hold a reference of our own
  std::function<void(std::string_view)> received_;
};

}  // namespace reprisa
