// The handler objects of ours that the web view's runtime calls (completions and events): one
// small COM object per handler around a function, shared by the web view host and the watches
// beside it.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <type_traits>
#include <utility>

#include "win/kit/com_ptr_win.h"

namespace reprisa::wv2 {

// Objects of ours the runtime may still hold, across all hosts (for tests).
inline std::atomic<long> live_host_objects{0};

// The interface struct is the handler's one base, so that the runtime's pointer to it is this
// object's address and back (no vtable of our own may come first); then our reference count and
// the function it calls. No exception leaves it.
template <class Interface, class... Args>
class Handler : public Interface {
 public:
  using Vtbl = std::remove_const_t<std::remove_pointer_t<decltype(Interface::vtbl)>>;
  using Function = std::function<HRESULT(Args...)>;

  static ComPtr<Interface> Make(const IID& iid, Function function) {
    static_assert(std::is_base_of_v<Interface, Handler> && !std::is_polymorphic_v<Handler>,
                  "the runtime's interface pointer must be the handler's own address");
    auto* handler = new Handler(iid, std::move(function));
    return ComPtr<Interface>::Attach(handler);
  }

 private:
  Handler(const IID& iid, Function function) : iid_(iid), function_(std::move(function)) {
    this->vtbl = &kVtbl;
    ++live_host_objects;
  }
  ~Handler() { --live_host_objects; }
  static Handler* From(Interface* self) noexcept { return static_cast<Handler*>(self); }

  static HRESULT STDMETHODCALLTYPE QueryInterfaceSlot(Interface* self, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, From(self)->iid_)) {
      *out = self;
      AddRefSlot(self);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  static ULONG STDMETHODCALLTYPE AddRefSlot(Interface* self) {
    return static_cast<ULONG>(++From(self)->refs_);
  }
  static ULONG STDMETHODCALLTYPE ReleaseSlot(Interface* self) {
    long left = --From(self)->refs_;
    if (left == 0) delete From(self);
    return static_cast<ULONG>(left);
  }
  static HRESULT STDMETHODCALLTYPE InvokeSlot(Interface* self, Args... args) {
    AddRefSlot(self);  // the function may drop the last other reference
    HRESULT result = E_UNEXPECTED;
    try {
      result = From(self)->function_(args...);
    } catch (...) {
      // Swallowed: our functions here only queue answers (a failed one is lost like one never
      // sent), and no message box may run its loop inside the runtime's call.
    }
    ReleaseSlot(self);
    return result;
  }
  static constexpr Vtbl kVtbl{&QueryInterfaceSlot, &AddRefSlot, &ReleaseSlot, &InvokeSlot};

  std::atomic<long> refs_{1};
  IID iid_;
  Function function_;
};

}  // namespace reprisa::wv2
