// The media watch's side in the web view: the program's script (core/media_script.h) is added to
// every document the web view creates, frames included, and what it posts is read from the top
// document's channel and from each frame's own (a frame's messages arrive only there; frames
// come from the web view's fourth interface, and a runtime without it has the top document only;
// frames inside frames, to any depth, come from each frame's seventh interface, and a runtime
// without that has the top document's frames only). At most 64 frames are watched at once.
// Only strings from http, https and file documents are passed on, as UTF-8; what they say is the
// core's to judge.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "win/web/webview2_api_win.h"

namespace reprisa {

class WebViewMediaWatch {
 public:
  // Both are called inside the runtime's calls: they may only take note of what came.
  struct Sinks {
    std::function<void(std::string text)> message;
    // The script is in place for the documents created from now on, or the runtime refused it.
    std::function<void()> script_ready;
  };

  // The watch's side that its handlers share (they may outlive the watch).
  struct State;

  WebViewMediaWatch() = default;
  ~WebViewMediaWatch() { Stop(); }
  WebViewMediaWatch(const WebViewMediaWatch&) = delete;
  WebViewMediaWatch& operator=(const WebViewMediaWatch&) = delete;

  // Watches `webview` (stopping any earlier watch): its channels first, then the script. True when
  // the runtime took the script, whose readiness script_ready reports later; false when it
  // refused at once (the page is then not watched, and nothing else fails).
  bool Start(wv2::WebView* webview, Sinks sinks);
  // Removes every handler of ours from the web view and its frames and lets the frames go. What
  // the runtime still calls afterwards reaches nobody.
  void Stop() noexcept;

 private:
  State* state_ = nullptr;  // one reference
};

}  // namespace reprisa
