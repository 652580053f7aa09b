#include "win/kit/media_watch_win.h"

#include <cwchar>
#include <utility>
#include <vector>

#include "core/media_script.h"
#include "core/utf8.h"
#include "win/kit/com_ptr_win.h"
#include "win/kit/webview2_handler_win.h"

namespace reprisa {

namespace {

// The core's reader takes at most 256 bytes of UTF-8: a longer text (every UTF-16 unit is at
// least one byte) is dropped before it is converted.
constexpr std::size_t kMaxMessageUnits = 256;
// Frames watched at once: a page that keeps making frames costs no more than this.
constexpr std::size_t kMaxFrames = 64;

struct TaskMemFree {
  void operator()(wchar_t* text) const noexcept { CoTaskMemFree(text); }
};
using TaskText = std::unique_ptr<wchar_t, TaskMemFree>;

// Pages of the web and the disk: not the runtime's own pages, data, blob or about: documents.
bool IsWebAddress(const wchar_t* uri) noexcept {
  for (const wchar_t* scheme : {L"http:", L"https:", L"file:"})
    if (_wcsnicmp(uri, scheme, std::wcslen(scheme)) == 0) return true;
  return false;
}

template <class T>
ComPtr<T> Hold(T* object) noexcept {
  if (object) object->AddRef();
  return ComPtr<T>::Attach(object);
}

}  // namespace

struct WebViewMediaWatch::State {
  struct Frame {
    ComPtr<wv2::Frame2> frame;
    wv2::EventToken message{}, destroyed{};
    bool message_added = false, destroyed_added = false;
  };

  Sinks sinks;
  ComPtr<wv2::WebView> webview;
  ComPtr<wv2::WebView4> webview4;
  wv2::EventToken message{}, frames{};
  bool message_added = false, frames_added = false;
  std::vector<Frame> watched;

  // A message from the top document or a frame.
  void Received(wv2::WebMessageArgs* args) {
    if (!args || !sinks.message) return;
    wchar_t* raw = nullptr;
    HRESULT result = args->GetSource(&raw);
    TaskText source(raw);
    if (FAILED(result) || !source || !IsWebAddress(source.get())) return;
    raw = nullptr;
    result = args->TryGetString(&raw);  // fails for anything posted that is not a string
    TaskText text(raw);
    if (FAILED(result) || !text || std::wcslen(text.get()) > kMaxMessageUnits) return;
    sinks.message(NarrowUtf8(text.get()));
  }

  void Watch(const std::weak_ptr<State>& self, ComPtr<wv2::Frame2> frame) {
    if (!frame || watched.size() >= kMaxFrames) return;
    Frame entry;
    entry.frame = std::move(frame);
    wv2::Frame2* key = entry.frame.get();
    auto received =
        wv2::Handler<wv2::FrameWebMessageHandler, wv2::Frame*, wv2::WebMessageArgs*>::Make(
            wv2::kIidFrameWebMessageHandler,
            [self](wv2::Frame*, wv2::WebMessageArgs* args) -> HRESULT {
              if (auto state = self.lock()) state->Received(args);
              return S_OK;
            });
    auto destroyed = wv2::Handler<wv2::FrameDestroyedHandler, wv2::Frame*, IUnknown*>::Make(
        wv2::kIidFrameDestroyedHandler, [self, key](wv2::Frame*, IUnknown*) -> HRESULT {
          if (auto state = self.lock()) state->Unwatch(key);
          return S_OK;
        });
    watched.push_back(std::move(entry));
    Frame& added = watched.back();
    added.message_added =
        SUCCEEDED(added.frame->AddWebMessageReceived(received.get(), &added.message));
    added.destroyed_added =
        SUCCEEDED(added.frame->AddDestroyed(destroyed.get(), &added.destroyed));
  }

  void Unwatch(wv2::Frame2* key) noexcept {
    for (auto it = watched.begin(); it != watched.end(); ++it) {
      if (it->frame.get() != key) continue;
      Forget(*it);
      watched.erase(it);
      return;
    }
  }

  static void Forget(Frame& entry) noexcept {
    if (entry.message_added) entry.frame->RemoveWebMessageReceived(entry.message);
    if (entry.destroyed_added) entry.frame->RemoveDestroyed(entry.destroyed);
    entry.message_added = entry.destroyed_added = false;
  }
};

bool WebViewMediaWatch::Start(wv2::WebView* webview, Sinks sinks) {
  Stop();
  if (!webview) return false;
  auto state = std::make_shared<State>();
  state->sinks = std::move(sinks);
  state->webview = Hold(webview);
  state_ = state;
  const std::weak_ptr<State> self = state;

  auto received = wv2::Handler<wv2::WebMessageHandler, wv2::WebView*, wv2::WebMessageArgs*>::Make(
      wv2::kIidWebMessageHandler, [self](wv2::WebView*, wv2::WebMessageArgs* args) -> HRESULT {
        if (auto state = self.lock()) state->Received(args);
        return S_OK;
      });
  state->message_added = SUCCEEDED(webview->AddWebMessageReceived(received.get(), &state->message));
  state->webview4 = state->webview.As<wv2::WebView4>(wv2::kIidWebView4);
  if (state->webview4) {
    auto created =
        wv2::Handler<wv2::FrameCreatedHandler, wv2::WebView*, wv2::FrameCreatedArgs*>::Make(
            wv2::kIidFrameCreatedHandler,
            [self](wv2::WebView*, wv2::FrameCreatedArgs* args) -> HRESULT {
              auto state = self.lock();
              ComPtr<wv2::Frame> frame;
              if (state && args && SUCCEEDED(args->GetFrame(frame.put())) && frame)
                state->Watch(self, frame.As<wv2::Frame2>(wv2::kIidFrame2));
              return S_OK;
            });
    state->frames_added =
        SUCCEEDED(state->webview4->AddFrameCreated(created.get(), &state->frames));
  }

  auto added = wv2::Handler<wv2::ScriptAddedHandler, HRESULT, LPCWSTR>::Make(
      wv2::kIidScriptAddedHandler, [self](HRESULT, LPCWSTR) -> HRESULT {
        auto state = self.lock();
        if (state && state->sinks.script_ready) state->sinks.script_ready();
        return S_OK;
      });
  return SUCCEEDED(webview->AddScriptOnDocumentCreated(WidenUtf8(kMediaWatchScript).c_str(),
                                                       added.get()));
}

void WebViewMediaWatch::Stop() noexcept {
  const std::shared_ptr<State> state = std::move(state_);
  if (!state) return;
  for (State::Frame& entry : state->watched) State::Forget(entry);
  state->watched.clear();
  if (state->frames_added) state->webview4->RemoveFrameCreated(state->frames);
  if (state->message_added) state->webview->RemoveWebMessageReceived(state->message);
  state->frames_added = state->message_added = false;
  // The handlers the runtime still holds find no state from here on.
}

}  // namespace reprisa
