#include "win/web/browser_site_win.h"

#include <oleauto.h>

#include <atomic>
#include <string>

#include "core/error_handler.h"

namespace reprisa {

namespace {

// The four of the control's events we follow.
constexpr DISPID kBeforeNavigate = 250;
constexpr DISPID kNavigateComplete = 252;
constexpr DISPID kDocumentComplete = 259;
constexpr DISPID kNavigateError = 271;

// {F38BC242-B950-11D1-8918-00C04FC2C836}: the group of commands a document host is asked for.
constexpr GUID kDocHostCommandHandler = {
    0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};

std::atomic<long> g_live_sites{0};

}  // namespace

long LiveBrowserSites() noexcept { return g_live_sites.load(); }

TWebBrowser::Site::Site(TWebBrowser* host) : host_(host) { ++g_live_sites; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
    *out = static_cast<IOleClientSite*>(this);
  else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
    *out = static_cast<IOleInPlaceSite*>(this);
  else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
    *out = static_cast<IOleInPlaceFrame*>(this);
  else if (IsEqualIID(iid, IID_IOleCommandTarget))
    *out = static_cast<IOleCommandTarget*>(this);
  else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kBrowserEvents))
    *out = static_cast<IDispatch*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TWebBrowser::Site::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::SaveObject() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::GetContainer(IOleContainer** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::ShowObject() { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::OnShowWindow(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::RequestNewObjectLayout() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::GetWindow(HWND* out) {
  if (!out) return E_POINTER;
  *out = host_ ? host_->WindowHandle() : nullptr;
  return *out ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::CanInPlaceActivate() {
  return host_ && host_->WindowHandle() && !host_->tearing_down_ ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::OnInPlaceActivate() {
  if (host_) host_->in_place_active_ = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::OnUIActivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::GetWindowContext(IOleInPlaceFrame** frame,
                                                              IOleInPlaceUIWindow** doc, RECT* pos,
                                                              RECT* clip,
                                                              OLEINPLACEFRAMEINFO* info) {
  if (frame) *frame = nullptr;
  if (doc) *doc = nullptr;
  if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
  if (!host_ || !host_->WindowHandle()) return E_FAIL;
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *pos = host_->HostRect();
  *clip = *pos;
  info->fMDIApp = FALSE;
  info->hwndFrame = GetAncestor(host_->WindowHandle(), GA_ROOT);
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::Scroll(SIZE) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::OnUIDeactivate(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::OnInPlaceDeactivate() {
  if (host_) host_->in_place_active_ = false;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::DiscardUndoState() { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::DeactivateAndUndo() { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::OnPosRectChange(LPCRECT) {
  // The control always fills the host, whatever it asks for.
  if (host_) host_->UpdateObjectRects();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::RequestBorderSpace(LPCBORDERWIDTHS) {
  return INPLACE_E_NOTOOLSPACE;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::SetBorderSpace(LPCBORDERWIDTHS) { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::RemoveMenus(HMENU) { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::SetStatusText(LPCOLESTR) { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::EnableModeless(BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::QueryStatus(const GUID* group, ULONG count,
                                                         OLECMD* commands, OLECMDTEXT*) {
  if (!group || !IsEqualGUID(*group, kDocHostCommandHandler)) return OLECMDERR_E_UNKNOWNGROUP;
  if (count > 0 && !commands) return E_POINTER;
  for (ULONG i = 0; i < count; ++i)
    commands[i].cmdf =
        commands[i].cmdID == OLECMDID_SHOWSCRIPTERROR ? OLECMDF_SUPPORTED | OLECMDF_ENABLED : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::Exec(const GUID* group, DWORD id, DWORD, VARIANT*,
                                                  VARIANT* out) {
  if (!group || !IsEqualGUID(*group, kDocHostCommandHandler)) return OLECMDERR_E_UNKNOWNGROUP;
  if (id != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;
  if (out) {
    V_VT(out) = VT_BOOL;
    V_BOOL(out) = VARIANT_TRUE;  // true: the scripts go on running
  }
  return S_OK;  // handled: the control shows no dialog
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TWebBrowser::Site::Invoke(DISPID id, REFIID, LCID, WORD,
                                                    DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                                    UINT*) {
  if (!host_ || !params || !params->rgvarg) return S_OK;
  try {
    Report(id, params);
  } catch (...) {
    HandleException(host_);
  }
  return S_OK;
}

void TWebBrowser::Site::Report(DISPID id, DISPPARAMS* params) {
  // The arguments come last first: the sender is the first of them.
  auto arg = [params](UINT n) -> VARIANT* {
    if (n >= params->cArgs) return nullptr;
    VARIANT* v = &params->rgvarg[params->cArgs - 1 - n];
    return V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v) ? V_VARIANTREF(v) : v;
  };
  auto text = [](VARIANT* v) -> std::wstring {
    return v && V_VT(v) == VT_BSTR && V_BSTR(v) ? std::wstring(V_BSTR(v)) : std::wstring();
  };
  if (id == kBeforeNavigate && params->cArgs == 7 && host_->IsTopDocument(arg(0))) {
    host_->ControlLoadStarting(text(arg(1)));
  } else if (id == kNavigateComplete && params->cArgs == 2 && host_->IsTopDocument(arg(0))) {
    host_->EndWatch();  // the page arrives
  } else if (id == kDocumentComplete && params->cArgs == 2 && host_->IsTopDocument(arg(0))) {
    std::wstring address = text(arg(1));
    // The control's own error page is no page of ours.
    if (address.rfind(L"res:", 0) != 0) host_->LoadFinished(address, LoadOutcome::Loaded);
  } else if (id == kNavigateError && params->cArgs == 5 && host_->IsTopDocument(arg(0))) {
    VARIANT* status = arg(3);
    long code = status && V_VT(status) == VT_I4 ? V_I4(status) : 0;
    host_->ControlLoadFailed(text(arg(1)), code);
  }
}

TWebBrowser::Site::~Site() { --g_live_sites; }

}  // namespace reprisa
