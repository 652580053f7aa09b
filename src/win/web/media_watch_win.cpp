#include "win/web/media_watch_win.h"

#include <atomic>
#include <cwchar>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/media_script.h"
#include "core/utf8.h"
#include "win/kit/com_ptr_win.h"
#include "win/web/webview2_handler_win.h"

namespace reprisa {

namespace {

// The core's reader takes at most 256 bytes of UTF-8: a longer text (every UTF-16 unit is at
// least one byte) is dropped before it is converted.
constexpr std::size_t kMaxMessageUnits = 256;
// Frames watched at once, at every depth: a page that keeps making frames costs no more than this.
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

// What the watch's handlers reach: shared by the watch and every handler object, and dead for
// them once the watch stopped.
struct WebViewMediaWatch::State {
  struct Frame {
    ComPtr<wv2::Frame2> frame;
    ComPtr<wv2::Frame7> frame7;  // where the runtime tells the frames made inside this one
    wv2::EventToken message{}, destroyed{}, children{};
    bool message_added = false, destroyed_added = false, children_added = false;
  };

  std::atomic<long> refs{1};
  bool active = true;
  Sinks sinks;
  ComPtr<wv2::WebView> webview;
  ComPtr<wv2::WebView4> webview4;
  wv2::EventToken message{}, frames{};
  bool message_added = false, frames_added = false;
  std::vector<Frame> watched;

  void AddRef() noexcept { ++refs; }
  void Release() noexcept {
    if (--refs == 0) delete this;
  }

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

  void Watch(wv2::Frame* created);

  // A frame is told when it goes, and so is each frame inside it (their document went with it).
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
    if (entry.children_added) entry.frame7->RemoveFrameCreated(entry.children);
    entry.message_added = entry.destroyed_added = entry.children_added = false;
  }
};

namespace {

using State = WebViewMediaWatch::State;

// A handler object of the watch: the runtime's interface struct as its one base (the runtime's
// pointer is the object's address), a count, a reference to the watch's state and the frame it
// is for. Its Invoke calls `on` while the watch is on; nothing leaves it.
template <class Interface, class A, class B, void (*on)(State&, wv2::Frame2*, A, B)>
class Sink : public Interface {
 public:
  static ComPtr<Interface> Make(const IID& iid, State* state, wv2::Frame2* frame = nullptr) {
    static_assert(!std::is_polymorphic_v<Sink>, "the interface must be at the object's address");
    return ComPtr<Interface>::Attach(new Sink(iid, state, frame));
  }

 private:
  using Vtbl = std::remove_const_t<std::remove_pointer_t<decltype(Interface::vtbl)>>;
  Sink(const IID& iid, State* state, wv2::Frame2* frame) : iid_(iid), state_(state), frame_(frame) {
    this->vtbl = &kVtbl;
    state_->AddRef();
    ++wv2::live_host_objects;
  }
  ~Sink() {
    state_->Release();
    --wv2::live_host_objects;
  }
  static Sink* From(Interface* self) noexcept { return static_cast<Sink*>(self); }

  static HRESULT STDMETHODCALLTYPE QueryInterfaceSlot(Interface* self, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, From(self)->iid_)) return E_NOINTERFACE;
    *out = self;
    AddRefSlot(self);
    return S_OK;
  }
  static ULONG STDMETHODCALLTYPE AddRefSlot(Interface* self) {
    return static_cast<ULONG>(++From(self)->refs_);
  }
  static ULONG STDMETHODCALLTYPE ReleaseSlot(Interface* self) {
    const long left = --From(self)->refs_;
    if (left == 0) delete From(self);
    return static_cast<ULONG>(left);
  }
  static HRESULT STDMETHODCALLTYPE InvokeSlot(Interface* self, A a, B b) {
    State* state = From(self)->state_;
    state->AddRef();  // what `on` does may stop the watch
    try {
      if (state->active) on(*state, From(self)->frame_, a, b);
    } catch (...) {
      // Swallowed: what is lost is one message, or one frame not watched.
    }
    state->Release();
    return S_OK;
  }
  static constexpr Vtbl kVtbl{&QueryInterfaceSlot, &AddRefSlot, &ReleaseSlot, &InvokeSlot};

  std::atomic<long> refs_{1};
  const IID& iid_;
  State* state_;
  wv2::Frame2* frame_;  // identity only
};

void OnTopMessage(State& state, wv2::Frame2*, wv2::WebView*, wv2::WebMessageArgs* args) {
  state.Received(args);
}
void OnFrameMessage(State& state, wv2::Frame2*, wv2::Frame*, wv2::WebMessageArgs* args) {
  state.Received(args);
}
// A frame was made in the top document (the sender is the web view) or in a frame's.
template <class Sender>
void OnFrameCreated(State& state, wv2::Frame2*, Sender*, wv2::FrameCreatedArgs* args) {
  ComPtr<wv2::Frame> frame;
  if (args && SUCCEEDED(args->GetFrame(frame.put())) && frame) state.Watch(frame.get());
}
void OnFrameDestroyed(State& state, wv2::Frame2* key, wv2::Frame*, IUnknown*) {
  state.Unwatch(key);
}
void OnScriptAdded(State& state, wv2::Frame2*, HRESULT, LPCWSTR) {
  if (state.sinks.script_ready) state.sinks.script_ready();
}

}  // namespace

void WebViewMediaWatch::State::Watch(wv2::Frame* created) {
  if (watched.size() >= kMaxFrames) return;
  ComPtr<wv2::Frame> held = Hold(created);
  auto frame = held.As<wv2::Frame2>(wv2::kIidFrame2);
  if (!frame) return;
  wv2::Frame2* key = frame.get();
  auto received = Sink<wv2::FrameWebMessageHandler, wv2::Frame*, wv2::WebMessageArgs*,
                       &OnFrameMessage>::Make(wv2::kIidFrameWebMessageHandler, this);
  auto destroyed = Sink<wv2::FrameDestroyedHandler, wv2::Frame*, IUnknown*,
                        &OnFrameDestroyed>::Make(wv2::kIidFrameDestroyedHandler, this, key);
  watched.push_back(Frame{std::move(frame), held.As<wv2::Frame7>(wv2::kIidFrame7)});
  Frame& added = watched.back();
  added.message_added =
      SUCCEEDED(added.frame->AddWebMessageReceived(received.get(), &added.message));
  added.destroyed_added = SUCCEEDED(added.frame->AddDestroyed(destroyed.get(), &added.destroyed));
  if (added.frame7) {  // a runtime without it tells no frames inside frames
    auto children =
        Sink<wv2::ChildFrameCreatedHandler, wv2::Frame*, wv2::FrameCreatedArgs*,
             &OnFrameCreated<wv2::Frame>>::Make(wv2::kIidChildFrameCreatedHandler, this);
    added.children_added =
        SUCCEEDED(added.frame7->AddFrameCreated(children.get(), &added.children));
  }
}

bool WebViewMediaWatch::Start(wv2::WebView* webview, Sinks sinks) {
  Stop();
  if (!webview) return false;
  state_ = new State;
  state_->sinks = std::move(sinks);
  state_->webview = Hold(webview);

  auto received = Sink<wv2::WebMessageHandler, wv2::WebView*, wv2::WebMessageArgs*,
                       &OnTopMessage>::Make(wv2::kIidWebMessageHandler, state_);
  state_->message_added =
      SUCCEEDED(webview->AddWebMessageReceived(received.get(), &state_->message));
  state_->webview4 = state_->webview.As<wv2::WebView4>(wv2::kIidWebView4);
  if (state_->webview4) {
    auto created = Sink<wv2::FrameCreatedHandler, wv2::WebView*, wv2::FrameCreatedArgs*,
                        &OnFrameCreated<wv2::WebView>>::Make(wv2::kIidFrameCreatedHandler, state_);
    state_->frames_added =
        SUCCEEDED(state_->webview4->AddFrameCreated(created.get(), &state_->frames));
  }
  auto added = Sink<wv2::ScriptAddedHandler, HRESULT, LPCWSTR, &OnScriptAdded>::Make(
      wv2::kIidScriptAddedHandler, state_);
  return SUCCEEDED(
      webview->AddScriptOnDocumentCreated(WidenUtf8(kMediaWatchScript).c_str(), added.get()));
}

void WebViewMediaWatch::Stop() noexcept {
  State* state = std::exchange(state_, nullptr);
  if (!state) return;
  state->active = false;  // the handlers the runtime still holds reach nothing from here on
  for (State::Frame& entry : state->watched) State::Forget(entry);
  state->watched.clear();
  if (state->frames_added) state->webview4->RemoveFrameCreated(state->frames);
  if (state->message_added) state->webview->RemoveWebMessageReceived(state->message);
  state->frames_added = state->message_added = false;
  state->webview4.reset();
  state->webview.reset();
  state->Release();
}

}  // namespace reprisa
