// The interfaces of the system's modern web view that the host calls or implements, declared
// from the public reference as C-style vtables: one function pointer per slot, in the reference's
// order, every method __stdcall, up to the last slot we use. Slots we never call are typed
// `Slot` but keep their names, so that the checks at the end of this file name every slot.
// Each interface struct holds only its vtable pointer; the small inline members are calls
// through it (they add nothing to the layout).
#pragma once

#include <windows.h>

#include <objbase.h>

#include <cstddef>
#include <cstdint>

namespace reprisa::wv2 {

using Slot = void*;

// The token an add_* method hands back: one 64-bit integer, passed by value to remove_*.
struct EventToken {
  std::int64_t value;
};

enum ProcessFailedKind : std::int32_t {
  kBrowserProcessExited = 0,
  kRenderProcessExited = 1,
  kRenderProcessUnresponsive = 2,
  kFrameRenderProcessExited = 3,
  kUtilityProcessExited = 4,  // the audio service and the network service are utility processes
  kSandboxHelperProcessExited = 5,
  kGpuProcessExited = 6,
  kPpapiPluginProcessExited = 7,
  kPpapiBrokerProcessExited = 8,
  kUnknownProcessExited = 9,
};
enum MoveFocusReason : std::int32_t { kFocusProgrammatic = 0, kFocusNext = 1, kFocusPrevious = 2 };
enum KeyEventKind : std::int32_t {
  kKeyDown = 0,
  kKeyUp = 1,
  kSystemKeyDown = 2,
  kSystemKeyUp = 3,
};

// Interface IDs.
// {B96D755E-0319-4E92-A296-23436F46A1FC}
inline constexpr IID kIidEnvironment = {
    0xB96D755E, 0x0319, 0x4E92, {0xA2, 0x96, 0x23, 0x43, 0x6F, 0x46, 0xA1, 0xFC}};
// {2FDE08A8-1E9A-4766-8C05-95A9CEB9D1C5}
inline constexpr IID kIidEnvironmentOptions = {
    0x2FDE08A8, 0x1E9A, 0x4766, {0x8C, 0x05, 0x95, 0xA9, 0xCE, 0xB9, 0xD1, 0xC5}};
// {4E8A3389-C9D8-4BD2-B6B5-124FEE6CC14D}
inline constexpr IID kIidEnvironmentCompletedHandler = {
    0x4E8A3389, 0xC9D8, 0x4BD2, {0xB6, 0xB5, 0x12, 0x4F, 0xEE, 0x6C, 0xC1, 0x4D}};
// {6C4819F3-C9B7-4260-8127-C9F5BDE7F68C}
inline constexpr IID kIidControllerCompletedHandler = {
    0x6C4819F3, 0xC9B7, 0x4260, {0x81, 0x27, 0xC9, 0xF5, 0xBD, 0xE7, 0xF6, 0x8C}};
// {4D00C0D1-9434-4EB6-8078-8697A560334F}
inline constexpr IID kIidController = {
    0x4D00C0D1, 0x9434, 0x4EB6, {0x80, 0x78, 0x86, 0x97, 0xA5, 0x60, 0x33, 0x4F}};
// {69035451-6DC7-4CB8-9BCE-B2BD70AD289F}
inline constexpr IID kIidMoveFocusRequestedHandler = {
    0x69035451, 0x6DC7, 0x4CB8, {0x9B, 0xCE, 0xB2, 0xBD, 0x70, 0xAD, 0x28, 0x9F}};
// {2D6AA13B-3839-4A15-92FC-D88B3C0D9C9D}
inline constexpr IID kIidMoveFocusRequestedArgs = {
    0x2D6AA13B, 0x3839, 0x4A15, {0x92, 0xFC, 0xD8, 0x8B, 0x3C, 0x0D, 0x9C, 0x9D}};
// {76ECEACB-0462-4D94-AC83-423A6793775E}
inline constexpr IID kIidWebView = {
    0x76ECEACB, 0x0462, 0x4D94, {0xAC, 0x83, 0x42, 0x3A, 0x67, 0x93, 0x77, 0x5E}};
// {79E0AEA4-990B-42D9-AA1D-0FCC2E5BC7F1}
inline constexpr IID kIidProcessFailedHandler = {
    0x79E0AEA4, 0x990B, 0x42D9, {0xAA, 0x1D, 0x0F, 0xCC, 0x2E, 0x5B, 0xC7, 0xF1}};
// {8155A9A4-1474-4A86-8CAE-151B0FA6B8CA}
inline constexpr IID kIidProcessFailedArgs = {
    0x8155A9A4, 0x1474, 0x4A86, {0x8C, 0xAE, 0x15, 0x1B, 0x0F, 0xA6, 0xB8, 0xCA}};
// {B29C7E28-FA79-41A8-8E44-65811C76DCB2}
inline constexpr IID kIidAcceleratorKeyHandler = {
    0xB29C7E28, 0xFA79, 0x41A8, {0x8E, 0x44, 0x65, 0x81, 0x1C, 0x76, 0xDC, 0xB2}};
// {9F760F8A-FB79-42BE-9990-7B56900FA9C7}
inline constexpr IID kIidAcceleratorKeyArgs = {
    0x9F760F8A, 0xFB79, 0x42BE, {0x99, 0x90, 0x7B, 0x56, 0x90, 0x0F, 0xA9, 0xC7}};
// {D33A35BF-1C49-4F98-93AB-006E0533FE1C}
inline constexpr IID kIidNavigationCompletedHandler = {
    0xD33A35BF, 0x1C49, 0x4F98, {0x93, 0xAB, 0x00, 0x6E, 0x05, 0x33, 0xFE, 0x1C}};
// {364471E7-F2BE-4910-BDBA-D72077D51C4B}
inline constexpr IID kIidContentLoadingHandler = {
    0x364471E7, 0xF2BE, 0x4910, {0xBD, 0xBA, 0xD7, 0x20, 0x77, 0xD5, 0x1C, 0x4B}};
// {9ADBE429-F36D-432B-9DDC-F8881FBD76E3}
inline constexpr IID kIidNavigationStartingHandler = {
    0x9ADBE429, 0xF36D, 0x432B, {0x9D, 0xDC, 0xF8, 0x88, 0x1F, 0xBD, 0x76, 0xE3}};
// {30D68B7D-20D9-4752-A9CA-EC8448FBB5C1}
inline constexpr IID kIidNavigationCompletedArgs = {
    0x30D68B7D, 0x20D9, 0x4752, {0xA9, 0xCA, 0xEC, 0x84, 0x48, 0xFB, 0xB5, 0xC1}};
// {FDF8B738-EE1E-4DB2-A329-8D7D7B74D792}: the arguments' second interface (runtimes since
// 1.0.1245.22), which adds the HTTP status.
inline constexpr IID kIidNavigationCompletedArgs2 = {
    0xFDF8B738, 0xEE1E, 0x4DB2, {0xA3, 0x29, 0x8D, 0x7D, 0x7B, 0x74, 0xD7, 0x92}};

// The media watch's: the script added to every document, the channel of the top document and of
// each frame, and the frames (the web view's fourth interface, which runtimes since 1.0.1072 have).
// {20D02D59-6DF2-42DC-BD06-F98A694B1302}
inline constexpr IID kIidWebView4 = {
    0x20D02D59, 0x6DF2, 0x42DC, {0xBD, 0x06, 0xF9, 0x8A, 0x69, 0x4B, 0x13, 0x02}};
// {B99369F3-9B11-47B5-BC6F-8E7895FCEA17}
inline constexpr IID kIidScriptAddedHandler = {
    0xB99369F3, 0x9B11, 0x47B5, {0xBC, 0x6F, 0x8E, 0x78, 0x95, 0xFC, 0xEA, 0x17}};
// {57213F19-00E6-49FA-8E07-898EA01ECBD2}
inline constexpr IID kIidWebMessageHandler = {
    0x57213F19, 0x00E6, 0x49FA, {0x8E, 0x07, 0x89, 0x8E, 0xA0, 0x1E, 0xCB, 0xD2}};
// {38059770-9BAA-11EB-A8B3-0242AC130003}
inline constexpr IID kIidFrameCreatedHandler = {
    0x38059770, 0x9BAA, 0x11EB, {0xA8, 0xB3, 0x02, 0x42, 0xAC, 0x13, 0x00, 0x03}};
// {7A6A5834-D185-4DBF-B63F-4A9BC43107D4}
inline constexpr IID kIidFrame2 = {
    0x7A6A5834, 0xD185, 0x4DBF, {0xB6, 0x3F, 0x4A, 0x9B, 0xC4, 0x31, 0x07, 0xD4}};
// {E371E005-6D1D-4517-934B-A8F1629C62A5}
inline constexpr IID kIidFrameWebMessageHandler = {
    0xE371E005, 0x6D1D, 0x4517, {0x93, 0x4B, 0xA8, 0xF1, 0x62, 0x9C, 0x62, 0xA5}};
// {59DD7B4C-9BAA-11EB-A8B3-0242AC130003}
inline constexpr IID kIidFrameDestroyedHandler = {
    0x59DD7B4C, 0x9BAA, 0x11EB, {0xA8, 0xB3, 0x02, 0x42, 0xAC, 0x13, 0x00, 0x03}};
// Frames inside frames: a frame's seventh interface (in the reference since SDK 1.0.3240.44;
// older runtimes answer E_NOINTERFACE) raises FrameCreated for each frame made directly in its
// document. The reference's pages on ICoreWebView2Frame7 (base ICoreWebView2Frame6, then _5, _4,
// _3, _2) and ICoreWebView2FrameChildFrameCreatedEventHandler give the bases and the methods in
// order; the IDs are the same in three independent public bindings (C#, Delphi, Go).
// {3598CFA2-D85D-5A9F-9228-4DDE1F59EC64}
inline constexpr IID kIidFrame7 = {
    0x3598CFA2, 0xD85D, 0x5A9F, {0x92, 0x28, 0x4D, 0xDE, 0x1F, 0x59, 0xEC, 0x64}};
// {569E40E7-46B7-563D-83AE-1073155664D7}
inline constexpr IID kIidChildFrameCreatedHandler = {
    0x569E40E7, 0x46B7, 0x563D, {0x83, 0xAE, 0x10, 0x73, 0x15, 0x56, 0x64, 0xD7}};

struct Environment;
struct EnvironmentOptions;
struct EnvironmentCompletedHandler;
struct ControllerCompletedHandler;
struct Controller;
struct MoveFocusRequestedHandler;
struct MoveFocusRequestedArgs;
struct WebView;
struct ProcessFailedHandler;
struct ProcessFailedArgs;
struct AcceleratorKeyHandler;
struct AcceleratorKeyArgs;
struct NavigationCompletedHandler;
struct NavigationCompletedArgs;
struct NavigationCompletedArgs2;
struct ContentLoadingHandler;
struct ContentLoadingArgs;
struct NavigationStartingHandler;
struct NavigationStartingArgs;
struct WebView4;
struct ScriptAddedHandler;
struct WebMessageHandler;
struct WebMessageArgs;
struct FrameCreatedHandler;
struct FrameCreatedArgs;
struct Frame;
struct Frame2;
struct FrameWebMessageHandler;
struct FrameDestroyedHandler;
struct Frame7;
struct ChildFrameCreatedHandler;

// IUnknown's three slots for an interface T.
#define REPRISA_WV2_UNKNOWN_SLOTS(T)                                         \
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(T * self, REFIID iid, void** out); \
  ULONG(STDMETHODCALLTYPE* AddRef)(T * self);                                \
  ULONG(STDMETHODCALLTYPE* Release)(T * self)

// The members every interface struct has: its vtable and IUnknown's calls.
#define REPRISA_WV2_INTERFACE(T)                                                       \
  const T##Vtbl* vtbl;                                                                 \
  HRESULT QueryInterface(REFIID iid, void** out) { return vtbl->QueryInterface(this, iid, out); } \
  ULONG AddRef() { return vtbl->AddRef(this); }                                        \
  ULONG Release() { return vtbl->Release(this); }

// ICoreWebView2Environment
struct EnvironmentVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(Environment);
  HRESULT(STDMETHODCALLTYPE* CreateCoreWebView2Controller)(Environment* self, HWND parent,
                                                           ControllerCompletedHandler* handler);
  Slot CreateWebResourceResponse;
  Slot get_BrowserVersionString;
  Slot add_NewBrowserVersionAvailable;
  Slot remove_NewBrowserVersionAvailable;
};
struct Environment {
  REPRISA_WV2_INTERFACE(Environment)
  HRESULT CreateController(HWND parent, ControllerCompletedHandler* handler) {
    return vtbl->CreateCoreWebView2Controller(this, parent, handler);
  }
};

// ICoreWebView2EnvironmentOptions (implemented by the host)
struct EnvironmentOptionsVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(EnvironmentOptions);
  HRESULT(STDMETHODCALLTYPE* get_AdditionalBrowserArguments)(EnvironmentOptions* self,
                                                             LPWSTR* value);
  HRESULT(STDMETHODCALLTYPE* put_AdditionalBrowserArguments)(EnvironmentOptions* self,
                                                             LPCWSTR value);
  HRESULT(STDMETHODCALLTYPE* get_Language)(EnvironmentOptions* self, LPWSTR* value);
  HRESULT(STDMETHODCALLTYPE* put_Language)(EnvironmentOptions* self, LPCWSTR value);
  HRESULT(STDMETHODCALLTYPE* get_TargetCompatibleBrowserVersion)(EnvironmentOptions* self,
                                                                 LPWSTR* value);
  HRESULT(STDMETHODCALLTYPE* put_TargetCompatibleBrowserVersion)(EnvironmentOptions* self,
                                                                 LPCWSTR value);
  HRESULT(STDMETHODCALLTYPE* get_AllowSingleSignOnUsingOSPrimaryAccount)(EnvironmentOptions* self,
                                                                         BOOL* allow);
  HRESULT(STDMETHODCALLTYPE* put_AllowSingleSignOnUsingOSPrimaryAccount)(EnvironmentOptions* self,
                                                                         BOOL allow);
};
struct EnvironmentOptions {
  REPRISA_WV2_INTERFACE(EnvironmentOptions)
};

// ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler (implemented by the host)
struct EnvironmentCompletedHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(EnvironmentCompletedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(EnvironmentCompletedHandler* self, HRESULT result,
                                     Environment* environment);
};
struct EnvironmentCompletedHandler {
  REPRISA_WV2_INTERFACE(EnvironmentCompletedHandler)
};

// ICoreWebView2CreateCoreWebView2ControllerCompletedHandler (implemented by the host)
struct ControllerCompletedHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(ControllerCompletedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ControllerCompletedHandler* self, HRESULT result,
                                     Controller* controller);
};
struct ControllerCompletedHandler {
  REPRISA_WV2_INTERFACE(ControllerCompletedHandler)
};

// ICoreWebView2Controller
struct ControllerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(Controller);
  Slot get_IsVisible;
  HRESULT(STDMETHODCALLTYPE* put_IsVisible)(Controller* self, BOOL visible);
  Slot get_Bounds;
  HRESULT(STDMETHODCALLTYPE* put_Bounds)(Controller* self, RECT bounds);
  Slot get_ZoomFactor;
  Slot put_ZoomFactor;
  Slot add_ZoomFactorChanged;
  Slot remove_ZoomFactorChanged;
  Slot SetBoundsAndZoomFactor;
  HRESULT(STDMETHODCALLTYPE* MoveFocus)(Controller* self, MoveFocusReason reason);
  HRESULT(STDMETHODCALLTYPE* add_MoveFocusRequested)(Controller* self,
                                                     MoveFocusRequestedHandler* handler,
                                                     EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_MoveFocusRequested)(Controller* self, EventToken token);
  Slot add_GotFocus;
  Slot remove_GotFocus;
  Slot add_LostFocus;
  Slot remove_LostFocus;
  HRESULT(STDMETHODCALLTYPE* add_AcceleratorKeyPressed)(Controller* self,
                                                        AcceleratorKeyHandler* handler,
                                                        EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_AcceleratorKeyPressed)(Controller* self, EventToken token);
  Slot get_ParentWindow;
  Slot put_ParentWindow;
  HRESULT(STDMETHODCALLTYPE* NotifyParentWindowPositionChanged)(Controller* self);
  HRESULT(STDMETHODCALLTYPE* Close)(Controller* self);
  HRESULT(STDMETHODCALLTYPE* get_CoreWebView2)(Controller* self, WebView** webview);
};
struct Controller {
  REPRISA_WV2_INTERFACE(Controller)
  HRESULT PutIsVisible(BOOL visible) { return vtbl->put_IsVisible(this, visible); }
  HRESULT PutBounds(RECT bounds) { return vtbl->put_Bounds(this, bounds); }
  HRESULT MoveFocus(MoveFocusReason reason) { return vtbl->MoveFocus(this, reason); }
  HRESULT AddAcceleratorKeyPressed(AcceleratorKeyHandler* handler, EventToken* token) {
    return vtbl->add_AcceleratorKeyPressed(this, handler, token);
  }
  HRESULT RemoveAcceleratorKeyPressed(EventToken token) {
    return vtbl->remove_AcceleratorKeyPressed(this, token);
  }
  HRESULT AddMoveFocusRequested(MoveFocusRequestedHandler* handler, EventToken* token) {
    return vtbl->add_MoveFocusRequested(this, handler, token);
  }
  HRESULT RemoveMoveFocusRequested(EventToken token) {
    return vtbl->remove_MoveFocusRequested(this, token);
  }
  HRESULT NotifyParentWindowPositionChanged() {
    return vtbl->NotifyParentWindowPositionChanged(this);
  }
  HRESULT Close() { return vtbl->Close(this); }
  HRESULT GetWebView(WebView** webview) { return vtbl->get_CoreWebView2(this, webview); }
};

// ICoreWebView2
struct WebViewVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(WebView);
  Slot get_Settings;
  HRESULT(STDMETHODCALLTYPE* get_Source)(WebView* self, LPWSTR* uri);
  HRESULT(STDMETHODCALLTYPE* Navigate)(WebView* self, LPCWSTR uri);
  Slot NavigateToString;
  HRESULT(STDMETHODCALLTYPE* add_NavigationStarting)(WebView* self,
                                                     NavigationStartingHandler* handler,
                                                     EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_NavigationStarting)(WebView* self, EventToken token);
  HRESULT(STDMETHODCALLTYPE* add_ContentLoading)(WebView* self, ContentLoadingHandler* handler,
                                                 EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_ContentLoading)(WebView* self, EventToken token);
  Slot add_SourceChanged;
  Slot remove_SourceChanged;
  Slot add_HistoryChanged;
  Slot remove_HistoryChanged;
  HRESULT(STDMETHODCALLTYPE* add_NavigationCompleted)(WebView* self,
                                                      NavigationCompletedHandler* handler,
                                                      EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_NavigationCompleted)(WebView* self, EventToken token);
  Slot add_FrameNavigationStarting;
  Slot remove_FrameNavigationStarting;
  Slot add_FrameNavigationCompleted;
  Slot remove_FrameNavigationCompleted;
  Slot add_ScriptDialogOpening;
  Slot remove_ScriptDialogOpening;
  Slot add_PermissionRequested;
  Slot remove_PermissionRequested;
  HRESULT(STDMETHODCALLTYPE* add_ProcessFailed)(WebView* self, ProcessFailedHandler* handler,
                                                EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_ProcessFailed)(WebView* self, EventToken token);
  HRESULT(STDMETHODCALLTYPE* AddScriptToExecuteOnDocumentCreated)(WebView* self, LPCWSTR script,
                                                                  ScriptAddedHandler* handler);
  Slot RemoveScriptToExecuteOnDocumentCreated;
  Slot ExecuteScript;
  Slot CapturePreview;
  HRESULT(STDMETHODCALLTYPE* Reload)(WebView* self);
  Slot PostWebMessageAsJson;
  Slot PostWebMessageAsString;
  HRESULT(STDMETHODCALLTYPE* add_WebMessageReceived)(WebView* self, WebMessageHandler* handler,
                                                     EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_WebMessageReceived)(WebView* self, EventToken token);
  Slot CallDevToolsProtocolMethod;
  Slot get_BrowserProcessId;
  Slot get_CanGoBack;
  Slot get_CanGoForward;
  Slot GoBack;
  Slot GoForward;
  Slot GetDevToolsProtocolEventReceiver;
  HRESULT(STDMETHODCALLTYPE* Stop)(WebView* self);
};
struct WebView {
  REPRISA_WV2_INTERFACE(WebView)
  HRESULT Navigate(LPCWSTR uri) { return vtbl->Navigate(this, uri); }
  HRESULT AddProcessFailed(ProcessFailedHandler* handler, EventToken* token) {
    return vtbl->add_ProcessFailed(this, handler, token);
  }
  HRESULT RemoveProcessFailed(EventToken token) { return vtbl->remove_ProcessFailed(this, token); }
  HRESULT Reload() { return vtbl->Reload(this); }
  HRESULT GetSource(LPWSTR* uri) { return vtbl->get_Source(this, uri); }
  HRESULT AddNavigationCompleted(NavigationCompletedHandler* handler, EventToken* token) {
    return vtbl->add_NavigationCompleted(this, handler, token);
  }
  HRESULT RemoveNavigationCompleted(EventToken token) {
    return vtbl->remove_NavigationCompleted(this, token);
  }
  // A table that leaves the slot empty (a stand-in for the runtime) has no such event.
  HRESULT AddNavigationStarting(NavigationStartingHandler* handler, EventToken* token) {
    return vtbl->add_NavigationStarting ? vtbl->add_NavigationStarting(this, handler, token)
                                        : E_NOTIMPL;
  }
  HRESULT RemoveNavigationStarting(EventToken token) {
    return vtbl->remove_NavigationStarting(this, token);
  }
  HRESULT AddContentLoading(ContentLoadingHandler* handler, EventToken* token) {
    return vtbl->add_ContentLoading ? vtbl->add_ContentLoading(this, handler, token) : E_NOTIMPL;
  }
  HRESULT RemoveContentLoading(EventToken token) {
    return vtbl->remove_ContentLoading(this, token);
  }
  HRESULT Stop() { return vtbl->Stop(this); }
  // Without the slot (a stand-in for the runtime's table) nothing is added: the page is not
  // watched.
  HRESULT AddScriptOnDocumentCreated(LPCWSTR script, ScriptAddedHandler* handler) {
    return vtbl->AddScriptToExecuteOnDocumentCreated
               ? vtbl->AddScriptToExecuteOnDocumentCreated(this, script, handler)
               : E_NOTIMPL;
  }
  HRESULT AddWebMessageReceived(WebMessageHandler* handler, EventToken* token) {
    return vtbl->add_WebMessageReceived ? vtbl->add_WebMessageReceived(this, handler, token)
                                        : E_NOTIMPL;
  }
  HRESULT RemoveWebMessageReceived(EventToken token) {
    return vtbl->remove_WebMessageReceived(this, token);
  }
};

// ICoreWebView2_4 (through _2 and _3): ICoreWebView2's slots, then those of the three.
struct WebView4Vtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(WebView4);
  Slot web_view[58];  // ICoreWebView2's slots 3 to 60
  Slot add_WebResourceResponseReceived;
  Slot remove_WebResourceResponseReceived;
  Slot NavigateWithWebResourceRequest;
  Slot add_DOMContentLoaded;
  Slot remove_DOMContentLoaded;
  Slot get_CookieManager;
  Slot get_Environment;
  Slot TrySuspend;
  Slot Resume;
  Slot get_IsSuspended;
  Slot SetVirtualHostNameToFolderMapping;
  Slot ClearVirtualHostNameToFolderMapping;
  HRESULT(STDMETHODCALLTYPE* add_FrameCreated)(WebView4* self, FrameCreatedHandler* handler,
                                               EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_FrameCreated)(WebView4* self, EventToken token);
};
struct WebView4 {
  REPRISA_WV2_INTERFACE(WebView4)
  HRESULT AddFrameCreated(FrameCreatedHandler* handler, EventToken* token) {
    return vtbl->add_FrameCreated(this, handler, token);
  }
  HRESULT RemoveFrameCreated(EventToken token) { return vtbl->remove_FrameCreated(this, token); }
};

// ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler (implemented by the host):
// the script runs in the documents created from now on; `id` names it for its removal.
struct ScriptAddedHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(ScriptAddedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ScriptAddedHandler* self, HRESULT result, LPCWSTR id);
};
struct ScriptAddedHandler {
  REPRISA_WV2_INTERFACE(ScriptAddedHandler)
};

// ICoreWebView2WebMessageReceivedEventHandler (implemented by the host): the top document posted.
struct WebMessageHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(WebMessageHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(WebMessageHandler* self, WebView* sender,
                                     WebMessageArgs* args);
};
struct WebMessageHandler {
  REPRISA_WV2_INTERFACE(WebMessageHandler)
};

// ICoreWebView2WebMessageReceivedEventArgs
struct WebMessageArgsVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(WebMessageArgs);
  HRESULT(STDMETHODCALLTYPE* get_Source)(WebMessageArgs* self, LPWSTR* uri);
  Slot get_WebMessageAsJson;
  HRESULT(STDMETHODCALLTYPE* TryGetWebMessageAsString)(WebMessageArgs* self, LPWSTR* text);
};
struct WebMessageArgs {
  REPRISA_WV2_INTERFACE(WebMessageArgs)
  HRESULT GetSource(LPWSTR* uri) { return vtbl->get_Source(this, uri); }
  // Fails (E_INVALIDARG) when what was posted is not a string.
  HRESULT TryGetString(LPWSTR* text) { return vtbl->TryGetWebMessageAsString(this, text); }
};

// ICoreWebView2FrameCreatedEventHandler (implemented by the host): a frame of the top document
// was made (frames inside frames are told on their parent frame's seventh interface).
struct FrameCreatedHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(FrameCreatedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(FrameCreatedHandler* self, WebView* sender,
                                     FrameCreatedArgs* args);
};
struct FrameCreatedHandler {
  REPRISA_WV2_INTERFACE(FrameCreatedHandler)
};

// ICoreWebView2FrameCreatedEventArgs
struct FrameCreatedArgsVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(FrameCreatedArgs);
  HRESULT(STDMETHODCALLTYPE* get_Frame)(FrameCreatedArgs* self, Frame** frame);
};
struct FrameCreatedArgs {
  REPRISA_WV2_INTERFACE(FrameCreatedArgs)
  HRESULT GetFrame(Frame** frame) { return vtbl->get_Frame(this, frame); }
};

// ICoreWebView2Frame: only asked for its second interface.
struct FrameVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(Frame);
  Slot get_Name;
  Slot add_NameChanged;
  Slot remove_NameChanged;
  Slot AddHostObjectToScriptWithOrigins;
  Slot RemoveHostObjectFromScript;
  Slot add_Destroyed;
  Slot remove_Destroyed;
  Slot IsDestroyed;
};
struct Frame {
  REPRISA_WV2_INTERFACE(Frame)
};

// ICoreWebView2Frame2: the first interface's slots, then the frame's loads and its channel.
struct Frame2Vtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(Frame2);
  Slot get_Name;
  Slot add_NameChanged;
  Slot remove_NameChanged;
  Slot AddHostObjectToScriptWithOrigins;
  Slot RemoveHostObjectFromScript;
  HRESULT(STDMETHODCALLTYPE* add_Destroyed)(Frame2* self, FrameDestroyedHandler* handler,
                                            EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_Destroyed)(Frame2* self, EventToken token);
  Slot IsDestroyed;
  Slot add_NavigationStarting;
  Slot remove_NavigationStarting;
  Slot add_ContentLoading;
  Slot remove_ContentLoading;
  Slot add_NavigationCompleted;
  Slot remove_NavigationCompleted;
  Slot add_DOMContentLoaded;
  Slot remove_DOMContentLoaded;
  Slot ExecuteScript;
  Slot PostWebMessageAsJson;
  Slot PostWebMessageAsString;
  HRESULT(STDMETHODCALLTYPE* add_WebMessageReceived)(Frame2* self,
                                                     FrameWebMessageHandler* handler,
                                                     EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_WebMessageReceived)(Frame2* self, EventToken token);
};
struct Frame2 {
  REPRISA_WV2_INTERFACE(Frame2)
  HRESULT AddDestroyed(FrameDestroyedHandler* handler, EventToken* token) {
    return vtbl->add_Destroyed(this, handler, token);
  }
  HRESULT RemoveDestroyed(EventToken token) { return vtbl->remove_Destroyed(this, token); }
  HRESULT AddWebMessageReceived(FrameWebMessageHandler* handler, EventToken* token) {
    return vtbl->add_WebMessageReceived(this, handler, token);
  }
  HRESULT RemoveWebMessageReceived(EventToken token) {
    return vtbl->remove_WebMessageReceived(this, token);
  }
};

// ICoreWebView2Frame7 (through _3 to _6): the second interface's slots; then _3's
// PermissionRequested event (24-25), _4's PostSharedBufferToScript (26), _5's get_FrameId (27),
// _6's ScreenCaptureStarting event (28-29); then its own FrameCreated event, for the frames made
// directly in this frame's document.
struct Frame7Vtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(Frame7);
  Slot frame2[21];  // ICoreWebView2Frame2's slots 3 to 23
  Slot add_PermissionRequested;
  Slot remove_PermissionRequested;
  Slot PostSharedBufferToScript;
  Slot get_FrameId;
  Slot add_ScreenCaptureStarting;
  Slot remove_ScreenCaptureStarting;
  HRESULT(STDMETHODCALLTYPE* add_FrameCreated)(Frame7* self, ChildFrameCreatedHandler* handler,
                                               EventToken* token);
  HRESULT(STDMETHODCALLTYPE* remove_FrameCreated)(Frame7* self, EventToken token);
};
struct Frame7 {
  REPRISA_WV2_INTERFACE(Frame7)
  HRESULT AddFrameCreated(ChildFrameCreatedHandler* handler, EventToken* token) {
    return vtbl->add_FrameCreated(this, handler, token);
  }
  HRESULT RemoveFrameCreated(EventToken token) { return vtbl->remove_FrameCreated(this, token); }
};

// ICoreWebView2FrameChildFrameCreatedEventHandler (implemented by the host): a frame was made in
// the document of the frame `sender`; the arguments are those of the top document's event.
struct ChildFrameCreatedHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(ChildFrameCreatedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ChildFrameCreatedHandler* self, Frame* sender,
                                     FrameCreatedArgs* args);
};
struct ChildFrameCreatedHandler {
  REPRISA_WV2_INTERFACE(ChildFrameCreatedHandler)
};

// ICoreWebView2FrameWebMessageReceivedEventHandler (implemented by the host): the frame posted.
struct FrameWebMessageHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(FrameWebMessageHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(FrameWebMessageHandler* self, Frame* sender,
                                     WebMessageArgs* args);
};
struct FrameWebMessageHandler {
  REPRISA_WV2_INTERFACE(FrameWebMessageHandler)
};

// ICoreWebView2FrameDestroyedEventHandler (implemented by the host): the frame was removed, or
// the document that held it went; `args` is null.
struct FrameDestroyedHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(FrameDestroyedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(FrameDestroyedHandler* self, Frame* sender, IUnknown* args);
};
struct FrameDestroyedHandler {
  REPRISA_WV2_INTERFACE(FrameDestroyedHandler)
};

// ICoreWebView2NavigationCompletedEventHandler (implemented by the host)
struct NavigationCompletedHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(NavigationCompletedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(NavigationCompletedHandler* self, WebView* sender,
                                     NavigationCompletedArgs* args);
};
struct NavigationCompletedHandler {
  REPRISA_WV2_INTERFACE(NavigationCompletedHandler)
};

// ICoreWebView2NavigationCompletedEventArgs
struct NavigationCompletedArgsVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(NavigationCompletedArgs);
  HRESULT(STDMETHODCALLTYPE* get_IsSuccess)(NavigationCompletedArgs* self, BOOL* success);
  HRESULT(STDMETHODCALLTYPE* get_WebErrorStatus)(NavigationCompletedArgs* self,
                                                 std::int32_t* status);
  HRESULT(STDMETHODCALLTYPE* get_NavigationId)(NavigationCompletedArgs* self, std::uint64_t* id);
};
struct NavigationCompletedArgs {
  REPRISA_WV2_INTERFACE(NavigationCompletedArgs)
  HRESULT GetIsSuccess(BOOL* success) { return vtbl->get_IsSuccess(this, success); }
  HRESULT GetWebErrorStatus(std::int32_t* status) { return vtbl->get_WebErrorStatus(this, status); }
  // A stand-in's table that leaves the slot empty has no navigation IDs.
  HRESULT GetNavigationId(std::uint64_t* id) {
    return vtbl->get_NavigationId ? vtbl->get_NavigationId(this, id) : E_NOTIMPL;
  }
};

// ICoreWebView2NavigationCompletedEventArgs2: the first interface's slots, then one more.
struct NavigationCompletedArgs2Vtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(NavigationCompletedArgs2);
  Slot get_IsSuccess;
  Slot get_WebErrorStatus;
  Slot get_NavigationId;
  HRESULT(STDMETHODCALLTYPE* get_HttpStatusCode)(NavigationCompletedArgs2* self,
                                                 std::int32_t* status);
};
struct NavigationCompletedArgs2 {
  REPRISA_WV2_INTERFACE(NavigationCompletedArgs2)
  HRESULT GetHttpStatusCode(std::int32_t* status) { return vtbl->get_HttpStatusCode(this, status); }
};

// ICoreWebView2ContentLoadingEventHandler (implemented by the host): the top document of a
// navigation starts arriving.
struct ContentLoadingHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(ContentLoadingHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ContentLoadingHandler* self, WebView* sender,
                                     ContentLoadingArgs* args);
};
struct ContentLoadingHandler {
  REPRISA_WV2_INTERFACE(ContentLoadingHandler)
};

// ICoreWebView2ContentLoadingEventArgs
struct ContentLoadingArgsVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(ContentLoadingArgs);
  Slot get_IsErrorPage;
  HRESULT(STDMETHODCALLTYPE* get_NavigationId)(ContentLoadingArgs* self, std::uint64_t* id);
};
struct ContentLoadingArgs {
  REPRISA_WV2_INTERFACE(ContentLoadingArgs)
  HRESULT GetNavigationId(std::uint64_t* id) {
    return vtbl->get_NavigationId ? vtbl->get_NavigationId(this, id) : E_NOTIMPL;
  }
};

// ICoreWebView2NavigationStartingEventHandler (implemented by the host): the top document is
// about to load an address (the program's load, one the page starts itself, or a redirect of
// either, which keeps its navigation's ID).
struct NavigationStartingHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(NavigationStartingHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(NavigationStartingHandler* self, WebView* sender,
                                     NavigationStartingArgs* args);
};
struct NavigationStartingHandler {
  REPRISA_WV2_INTERFACE(NavigationStartingHandler)
};

// ICoreWebView2NavigationStartingEventArgs
struct NavigationStartingArgsVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(NavigationStartingArgs);
  HRESULT(STDMETHODCALLTYPE* get_Uri)(NavigationStartingArgs* self, LPWSTR* uri);
  Slot get_IsUserInitiated;
  Slot get_IsRedirected;
  Slot get_RequestHeaders;
  Slot get_Cancel;
  Slot put_Cancel;
  HRESULT(STDMETHODCALLTYPE* get_NavigationId)(NavigationStartingArgs* self, std::uint64_t* id);
};
struct NavigationStartingArgs {
  REPRISA_WV2_INTERFACE(NavigationStartingArgs)
  HRESULT GetUri(LPWSTR* uri) { return vtbl->get_Uri(this, uri); }
  HRESULT GetNavigationId(std::uint64_t* id) { return vtbl->get_NavigationId(this, id); }
};

// ICoreWebView2ProcessFailedEventHandler (implemented by the host)
struct ProcessFailedHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(ProcessFailedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(ProcessFailedHandler* self, WebView* sender,
                                     ProcessFailedArgs* args);
};
struct ProcessFailedHandler {
  REPRISA_WV2_INTERFACE(ProcessFailedHandler)
};

// ICoreWebView2ProcessFailedEventArgs
struct ProcessFailedArgsVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(ProcessFailedArgs);
  HRESULT(STDMETHODCALLTYPE* get_ProcessFailedKind)(ProcessFailedArgs* self,
                                                    ProcessFailedKind* kind);
};
struct ProcessFailedArgs {
  REPRISA_WV2_INTERFACE(ProcessFailedArgs)
  HRESULT GetKind(ProcessFailedKind* kind) { return vtbl->get_ProcessFailedKind(this, kind); }
};

// ICoreWebView2AcceleratorKeyPressedEventHandler (implemented by the host)
struct AcceleratorKeyHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(AcceleratorKeyHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(AcceleratorKeyHandler* self, Controller* sender,
                                     AcceleratorKeyArgs* args);
};
struct AcceleratorKeyHandler {
  REPRISA_WV2_INTERFACE(AcceleratorKeyHandler)
};

// ICoreWebView2AcceleratorKeyPressedEventArgs
struct AcceleratorKeyArgsVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(AcceleratorKeyArgs);
  HRESULT(STDMETHODCALLTYPE* get_KeyEventKind)(AcceleratorKeyArgs* self, KeyEventKind* kind);
  HRESULT(STDMETHODCALLTYPE* get_VirtualKey)(AcceleratorKeyArgs* self, UINT* key);
  HRESULT(STDMETHODCALLTYPE* get_KeyEventLParam)(AcceleratorKeyArgs* self, INT* lparam);
  Slot get_PhysicalKeyStatus;
  Slot get_Handled;
  HRESULT(STDMETHODCALLTYPE* put_Handled)(AcceleratorKeyArgs* self, BOOL handled);
};
struct AcceleratorKeyArgs {
  REPRISA_WV2_INTERFACE(AcceleratorKeyArgs)
  HRESULT GetKind(KeyEventKind* kind) { return vtbl->get_KeyEventKind(this, kind); }
  HRESULT GetVirtualKey(UINT* key) { return vtbl->get_VirtualKey(this, key); }
  HRESULT PutHandled(BOOL handled) { return vtbl->put_Handled(this, handled); }
};

// ICoreWebView2MoveFocusRequestedEventHandler (implemented by the host)
struct MoveFocusRequestedHandlerVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(MoveFocusRequestedHandler);
  HRESULT(STDMETHODCALLTYPE* Invoke)(MoveFocusRequestedHandler* self, Controller* sender,
                                     MoveFocusRequestedArgs* args);
};
struct MoveFocusRequestedHandler {
  REPRISA_WV2_INTERFACE(MoveFocusRequestedHandler)
};

// ICoreWebView2MoveFocusRequestedEventArgs
struct MoveFocusRequestedArgsVtbl {
  REPRISA_WV2_UNKNOWN_SLOTS(MoveFocusRequestedArgs);
  HRESULT(STDMETHODCALLTYPE* get_Reason)(MoveFocusRequestedArgs* self, MoveFocusReason* reason);
  Slot get_Handled;
  HRESULT(STDMETHODCALLTYPE* put_Handled)(MoveFocusRequestedArgs* self, BOOL handled);
};
struct MoveFocusRequestedArgs {
  REPRISA_WV2_INTERFACE(MoveFocusRequestedArgs)
  HRESULT GetReason(MoveFocusReason* reason) { return vtbl->get_Reason(this, reason); }
  HRESULT PutHandled(BOOL handled) { return vtbl->put_Handled(this, handled); }
};

#undef REPRISA_WV2_UNKNOWN_SLOTS
#undef REPRISA_WV2_INTERFACE

// The runtime's entry point.
using CreateEnvironmentFunction = HRESULT(STDAPICALLTYPE*)(bool check_running_instance,
                                                           int runtime_type,
                                                           PCWSTR user_data_folder,
                                                           IUnknown* options,
                                                           EnvironmentCompletedHandler* handler);

// ---------------------------------------------------------------------------------------------
// The slot of every method, from the reference's tables: a method declared out of order, one left
// out or one too many before it moves its slot and fails the build here.
#define REPRISA_WV2_SLOT(vtbl, method, slot)                              \
  static_assert(offsetof(vtbl, method) == (slot) * sizeof(void*),         \
                #vtbl "::" #method " must be slot " #slot " of the interface")

#define REPRISA_WV2_UNKNOWN(vtbl)        \
  REPRISA_WV2_SLOT(vtbl, QueryInterface, 0); \
  REPRISA_WV2_SLOT(vtbl, AddRef, 1);         \
  REPRISA_WV2_SLOT(vtbl, Release, 2)

// Each interface's vtable ends with the last slot declared: nothing hides after it.
#define REPRISA_WV2_SIZE(vtbl, slots) \
  static_assert(sizeof(vtbl) == (slots) * sizeof(void*), #vtbl " must have " #slots " slots")

REPRISA_WV2_UNKNOWN(EnvironmentVtbl);
REPRISA_WV2_SLOT(EnvironmentVtbl, CreateCoreWebView2Controller, 3);
REPRISA_WV2_SLOT(EnvironmentVtbl, CreateWebResourceResponse, 4);
REPRISA_WV2_SLOT(EnvironmentVtbl, get_BrowserVersionString, 5);
REPRISA_WV2_SLOT(EnvironmentVtbl, add_NewBrowserVersionAvailable, 6);
REPRISA_WV2_SLOT(EnvironmentVtbl, remove_NewBrowserVersionAvailable, 7);
REPRISA_WV2_SIZE(EnvironmentVtbl, 8);

REPRISA_WV2_UNKNOWN(EnvironmentOptionsVtbl);
REPRISA_WV2_SLOT(EnvironmentOptionsVtbl, get_AdditionalBrowserArguments, 3);
REPRISA_WV2_SLOT(EnvironmentOptionsVtbl, put_AdditionalBrowserArguments, 4);
REPRISA_WV2_SLOT(EnvironmentOptionsVtbl, get_Language, 5);
REPRISA_WV2_SLOT(EnvironmentOptionsVtbl, put_Language, 6);
REPRISA_WV2_SLOT(EnvironmentOptionsVtbl, get_TargetCompatibleBrowserVersion, 7);
REPRISA_WV2_SLOT(EnvironmentOptionsVtbl, put_TargetCompatibleBrowserVersion, 8);
REPRISA_WV2_SLOT(EnvironmentOptionsVtbl, get_AllowSingleSignOnUsingOSPrimaryAccount, 9);
REPRISA_WV2_SLOT(EnvironmentOptionsVtbl, put_AllowSingleSignOnUsingOSPrimaryAccount, 10);
REPRISA_WV2_SIZE(EnvironmentOptionsVtbl, 11);

REPRISA_WV2_UNKNOWN(EnvironmentCompletedHandlerVtbl);
REPRISA_WV2_SLOT(EnvironmentCompletedHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(EnvironmentCompletedHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(ControllerCompletedHandlerVtbl);
REPRISA_WV2_SLOT(ControllerCompletedHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(ControllerCompletedHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(ControllerVtbl);
REPRISA_WV2_SLOT(ControllerVtbl, get_IsVisible, 3);
REPRISA_WV2_SLOT(ControllerVtbl, put_IsVisible, 4);
REPRISA_WV2_SLOT(ControllerVtbl, get_Bounds, 5);
REPRISA_WV2_SLOT(ControllerVtbl, put_Bounds, 6);
REPRISA_WV2_SLOT(ControllerVtbl, get_ZoomFactor, 7);
REPRISA_WV2_SLOT(ControllerVtbl, put_ZoomFactor, 8);
REPRISA_WV2_SLOT(ControllerVtbl, add_ZoomFactorChanged, 9);
REPRISA_WV2_SLOT(ControllerVtbl, remove_ZoomFactorChanged, 10);
REPRISA_WV2_SLOT(ControllerVtbl, SetBoundsAndZoomFactor, 11);
REPRISA_WV2_SLOT(ControllerVtbl, MoveFocus, 12);
REPRISA_WV2_SLOT(ControllerVtbl, add_MoveFocusRequested, 13);
REPRISA_WV2_SLOT(ControllerVtbl, remove_MoveFocusRequested, 14);
REPRISA_WV2_SLOT(ControllerVtbl, add_GotFocus, 15);
REPRISA_WV2_SLOT(ControllerVtbl, remove_GotFocus, 16);
REPRISA_WV2_SLOT(ControllerVtbl, add_LostFocus, 17);
REPRISA_WV2_SLOT(ControllerVtbl, remove_LostFocus, 18);
REPRISA_WV2_SLOT(ControllerVtbl, add_AcceleratorKeyPressed, 19);
REPRISA_WV2_SLOT(ControllerVtbl, remove_AcceleratorKeyPressed, 20);
REPRISA_WV2_SLOT(ControllerVtbl, get_ParentWindow, 21);
REPRISA_WV2_SLOT(ControllerVtbl, put_ParentWindow, 22);
REPRISA_WV2_SLOT(ControllerVtbl, NotifyParentWindowPositionChanged, 23);
REPRISA_WV2_SLOT(ControllerVtbl, Close, 24);
REPRISA_WV2_SLOT(ControllerVtbl, get_CoreWebView2, 25);
REPRISA_WV2_SIZE(ControllerVtbl, 26);

REPRISA_WV2_UNKNOWN(WebViewVtbl);
REPRISA_WV2_SLOT(WebViewVtbl, get_Settings, 3);
REPRISA_WV2_SLOT(WebViewVtbl, get_Source, 4);
REPRISA_WV2_SLOT(WebViewVtbl, Navigate, 5);
REPRISA_WV2_SLOT(WebViewVtbl, NavigateToString, 6);
REPRISA_WV2_SLOT(WebViewVtbl, add_NavigationStarting, 7);
REPRISA_WV2_SLOT(WebViewVtbl, remove_NavigationStarting, 8);
REPRISA_WV2_SLOT(WebViewVtbl, add_ContentLoading, 9);
REPRISA_WV2_SLOT(WebViewVtbl, remove_ContentLoading, 10);
REPRISA_WV2_SLOT(WebViewVtbl, add_SourceChanged, 11);
REPRISA_WV2_SLOT(WebViewVtbl, remove_SourceChanged, 12);
REPRISA_WV2_SLOT(WebViewVtbl, add_HistoryChanged, 13);
REPRISA_WV2_SLOT(WebViewVtbl, remove_HistoryChanged, 14);
REPRISA_WV2_SLOT(WebViewVtbl, add_NavigationCompleted, 15);
REPRISA_WV2_SLOT(WebViewVtbl, remove_NavigationCompleted, 16);
REPRISA_WV2_SLOT(WebViewVtbl, add_FrameNavigationStarting, 17);
REPRISA_WV2_SLOT(WebViewVtbl, remove_FrameNavigationStarting, 18);
REPRISA_WV2_SLOT(WebViewVtbl, add_FrameNavigationCompleted, 19);
REPRISA_WV2_SLOT(WebViewVtbl, remove_FrameNavigationCompleted, 20);
REPRISA_WV2_SLOT(WebViewVtbl, add_ScriptDialogOpening, 21);
REPRISA_WV2_SLOT(WebViewVtbl, remove_ScriptDialogOpening, 22);
REPRISA_WV2_SLOT(WebViewVtbl, add_PermissionRequested, 23);
REPRISA_WV2_SLOT(WebViewVtbl, remove_PermissionRequested, 24);
REPRISA_WV2_SLOT(WebViewVtbl, add_ProcessFailed, 25);
REPRISA_WV2_SLOT(WebViewVtbl, remove_ProcessFailed, 26);
REPRISA_WV2_SLOT(WebViewVtbl, AddScriptToExecuteOnDocumentCreated, 27);
REPRISA_WV2_SLOT(WebViewVtbl, RemoveScriptToExecuteOnDocumentCreated, 28);
REPRISA_WV2_SLOT(WebViewVtbl, ExecuteScript, 29);
REPRISA_WV2_SLOT(WebViewVtbl, CapturePreview, 30);
REPRISA_WV2_SLOT(WebViewVtbl, Reload, 31);
REPRISA_WV2_SLOT(WebViewVtbl, PostWebMessageAsJson, 32);
REPRISA_WV2_SLOT(WebViewVtbl, PostWebMessageAsString, 33);
REPRISA_WV2_SLOT(WebViewVtbl, add_WebMessageReceived, 34);
REPRISA_WV2_SLOT(WebViewVtbl, remove_WebMessageReceived, 35);
REPRISA_WV2_SLOT(WebViewVtbl, CallDevToolsProtocolMethod, 36);
REPRISA_WV2_SLOT(WebViewVtbl, get_BrowserProcessId, 37);
REPRISA_WV2_SLOT(WebViewVtbl, get_CanGoBack, 38);
REPRISA_WV2_SLOT(WebViewVtbl, get_CanGoForward, 39);
REPRISA_WV2_SLOT(WebViewVtbl, GoBack, 40);
REPRISA_WV2_SLOT(WebViewVtbl, GoForward, 41);
REPRISA_WV2_SLOT(WebViewVtbl, GetDevToolsProtocolEventReceiver, 42);
REPRISA_WV2_SLOT(WebViewVtbl, Stop, 43);
REPRISA_WV2_SIZE(WebViewVtbl, 44);

REPRISA_WV2_UNKNOWN(NavigationCompletedHandlerVtbl);
REPRISA_WV2_SLOT(NavigationCompletedHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(NavigationCompletedHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(NavigationCompletedArgsVtbl);
REPRISA_WV2_SLOT(NavigationCompletedArgsVtbl, get_IsSuccess, 3);
REPRISA_WV2_SLOT(NavigationCompletedArgsVtbl, get_WebErrorStatus, 4);
REPRISA_WV2_SLOT(NavigationCompletedArgsVtbl, get_NavigationId, 5);
REPRISA_WV2_SIZE(NavigationCompletedArgsVtbl, 6);

REPRISA_WV2_UNKNOWN(NavigationCompletedArgs2Vtbl);
REPRISA_WV2_SLOT(NavigationCompletedArgs2Vtbl, get_HttpStatusCode, 6);
REPRISA_WV2_SIZE(NavigationCompletedArgs2Vtbl, 7);

REPRISA_WV2_UNKNOWN(ContentLoadingArgsVtbl);
REPRISA_WV2_SLOT(ContentLoadingArgsVtbl, get_IsErrorPage, 3);
REPRISA_WV2_SLOT(ContentLoadingArgsVtbl, get_NavigationId, 4);
REPRISA_WV2_SIZE(ContentLoadingArgsVtbl, 5);

REPRISA_WV2_UNKNOWN(NavigationStartingHandlerVtbl);
REPRISA_WV2_SLOT(NavigationStartingHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(NavigationStartingHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(NavigationStartingArgsVtbl);
REPRISA_WV2_SLOT(NavigationStartingArgsVtbl, get_Uri, 3);
REPRISA_WV2_SLOT(NavigationStartingArgsVtbl, get_IsUserInitiated, 4);
REPRISA_WV2_SLOT(NavigationStartingArgsVtbl, get_IsRedirected, 5);
REPRISA_WV2_SLOT(NavigationStartingArgsVtbl, get_RequestHeaders, 6);
REPRISA_WV2_SLOT(NavigationStartingArgsVtbl, get_Cancel, 7);
REPRISA_WV2_SLOT(NavigationStartingArgsVtbl, put_Cancel, 8);
REPRISA_WV2_SLOT(NavigationStartingArgsVtbl, get_NavigationId, 9);
REPRISA_WV2_SIZE(NavigationStartingArgsVtbl, 10);

REPRISA_WV2_UNKNOWN(ContentLoadingHandlerVtbl);
REPRISA_WV2_SLOT(ContentLoadingHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(ContentLoadingHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(ProcessFailedHandlerVtbl);
REPRISA_WV2_SLOT(ProcessFailedHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(ProcessFailedHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(ProcessFailedArgsVtbl);
REPRISA_WV2_SLOT(ProcessFailedArgsVtbl, get_ProcessFailedKind, 3);
REPRISA_WV2_SIZE(ProcessFailedArgsVtbl, 4);

REPRISA_WV2_UNKNOWN(AcceleratorKeyHandlerVtbl);
REPRISA_WV2_SLOT(AcceleratorKeyHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(AcceleratorKeyHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(AcceleratorKeyArgsVtbl);
REPRISA_WV2_SLOT(AcceleratorKeyArgsVtbl, get_KeyEventKind, 3);
REPRISA_WV2_SLOT(AcceleratorKeyArgsVtbl, get_VirtualKey, 4);
REPRISA_WV2_SLOT(AcceleratorKeyArgsVtbl, get_KeyEventLParam, 5);
REPRISA_WV2_SLOT(AcceleratorKeyArgsVtbl, get_PhysicalKeyStatus, 6);
REPRISA_WV2_SLOT(AcceleratorKeyArgsVtbl, get_Handled, 7);
REPRISA_WV2_SLOT(AcceleratorKeyArgsVtbl, put_Handled, 8);
REPRISA_WV2_SIZE(AcceleratorKeyArgsVtbl, 9);

REPRISA_WV2_UNKNOWN(MoveFocusRequestedHandlerVtbl);
REPRISA_WV2_SLOT(MoveFocusRequestedHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(MoveFocusRequestedHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(MoveFocusRequestedArgsVtbl);
REPRISA_WV2_SLOT(MoveFocusRequestedArgsVtbl, get_Reason, 3);
REPRISA_WV2_SLOT(MoveFocusRequestedArgsVtbl, get_Handled, 4);
REPRISA_WV2_SLOT(MoveFocusRequestedArgsVtbl, put_Handled, 5);
REPRISA_WV2_SIZE(MoveFocusRequestedArgsVtbl, 6);

REPRISA_WV2_UNKNOWN(WebView4Vtbl);
REPRISA_WV2_SLOT(WebView4Vtbl, web_view, 3);
REPRISA_WV2_SLOT(WebView4Vtbl, add_WebResourceResponseReceived, 61);
REPRISA_WV2_SLOT(WebView4Vtbl, remove_WebResourceResponseReceived, 62);
REPRISA_WV2_SLOT(WebView4Vtbl, NavigateWithWebResourceRequest, 63);
REPRISA_WV2_SLOT(WebView4Vtbl, add_DOMContentLoaded, 64);
REPRISA_WV2_SLOT(WebView4Vtbl, remove_DOMContentLoaded, 65);
REPRISA_WV2_SLOT(WebView4Vtbl, get_CookieManager, 66);
REPRISA_WV2_SLOT(WebView4Vtbl, get_Environment, 67);
REPRISA_WV2_SLOT(WebView4Vtbl, TrySuspend, 68);
REPRISA_WV2_SLOT(WebView4Vtbl, Resume, 69);
REPRISA_WV2_SLOT(WebView4Vtbl, get_IsSuspended, 70);
REPRISA_WV2_SLOT(WebView4Vtbl, SetVirtualHostNameToFolderMapping, 71);
REPRISA_WV2_SLOT(WebView4Vtbl, ClearVirtualHostNameToFolderMapping, 72);
REPRISA_WV2_SLOT(WebView4Vtbl, add_FrameCreated, 73);
REPRISA_WV2_SLOT(WebView4Vtbl, remove_FrameCreated, 74);
REPRISA_WV2_SIZE(WebView4Vtbl, 75);

REPRISA_WV2_UNKNOWN(ScriptAddedHandlerVtbl);
REPRISA_WV2_SLOT(ScriptAddedHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(ScriptAddedHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(WebMessageHandlerVtbl);
REPRISA_WV2_SLOT(WebMessageHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(WebMessageHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(WebMessageArgsVtbl);
REPRISA_WV2_SLOT(WebMessageArgsVtbl, get_Source, 3);
REPRISA_WV2_SLOT(WebMessageArgsVtbl, get_WebMessageAsJson, 4);
REPRISA_WV2_SLOT(WebMessageArgsVtbl, TryGetWebMessageAsString, 5);
REPRISA_WV2_SIZE(WebMessageArgsVtbl, 6);

REPRISA_WV2_UNKNOWN(FrameCreatedHandlerVtbl);
REPRISA_WV2_SLOT(FrameCreatedHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(FrameCreatedHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(FrameCreatedArgsVtbl);
REPRISA_WV2_SLOT(FrameCreatedArgsVtbl, get_Frame, 3);
REPRISA_WV2_SIZE(FrameCreatedArgsVtbl, 4);

REPRISA_WV2_UNKNOWN(FrameVtbl);
REPRISA_WV2_SLOT(FrameVtbl, get_Name, 3);
REPRISA_WV2_SLOT(FrameVtbl, add_NameChanged, 4);
REPRISA_WV2_SLOT(FrameVtbl, remove_NameChanged, 5);
REPRISA_WV2_SLOT(FrameVtbl, AddHostObjectToScriptWithOrigins, 6);
REPRISA_WV2_SLOT(FrameVtbl, RemoveHostObjectFromScript, 7);
REPRISA_WV2_SLOT(FrameVtbl, add_Destroyed, 8);
REPRISA_WV2_SLOT(FrameVtbl, remove_Destroyed, 9);
REPRISA_WV2_SLOT(FrameVtbl, IsDestroyed, 10);
REPRISA_WV2_SIZE(FrameVtbl, 11);

REPRISA_WV2_UNKNOWN(Frame2Vtbl);
REPRISA_WV2_SLOT(Frame2Vtbl, get_Name, 3);
REPRISA_WV2_SLOT(Frame2Vtbl, add_NameChanged, 4);
REPRISA_WV2_SLOT(Frame2Vtbl, remove_NameChanged, 5);
REPRISA_WV2_SLOT(Frame2Vtbl, AddHostObjectToScriptWithOrigins, 6);
REPRISA_WV2_SLOT(Frame2Vtbl, RemoveHostObjectFromScript, 7);
REPRISA_WV2_SLOT(Frame2Vtbl, add_Destroyed, 8);
REPRISA_WV2_SLOT(Frame2Vtbl, remove_Destroyed, 9);
REPRISA_WV2_SLOT(Frame2Vtbl, IsDestroyed, 10);
REPRISA_WV2_SLOT(Frame2Vtbl, add_NavigationStarting, 11);
REPRISA_WV2_SLOT(Frame2Vtbl, remove_NavigationStarting, 12);
REPRISA_WV2_SLOT(Frame2Vtbl, add_ContentLoading, 13);
REPRISA_WV2_SLOT(Frame2Vtbl, remove_ContentLoading, 14);
REPRISA_WV2_SLOT(Frame2Vtbl, add_NavigationCompleted, 15);
REPRISA_WV2_SLOT(Frame2Vtbl, remove_NavigationCompleted, 16);
REPRISA_WV2_SLOT(Frame2Vtbl, add_DOMContentLoaded, 17);
REPRISA_WV2_SLOT(Frame2Vtbl, remove_DOMContentLoaded, 18);
REPRISA_WV2_SLOT(Frame2Vtbl, ExecuteScript, 19);
REPRISA_WV2_SLOT(Frame2Vtbl, PostWebMessageAsJson, 20);
REPRISA_WV2_SLOT(Frame2Vtbl, PostWebMessageAsString, 21);
REPRISA_WV2_SLOT(Frame2Vtbl, add_WebMessageReceived, 22);
REPRISA_WV2_SLOT(Frame2Vtbl, remove_WebMessageReceived, 23);
REPRISA_WV2_SIZE(Frame2Vtbl, 24);

REPRISA_WV2_UNKNOWN(Frame7Vtbl);
REPRISA_WV2_SLOT(Frame7Vtbl, frame2, 3);
REPRISA_WV2_SLOT(Frame7Vtbl, add_PermissionRequested, 24);
REPRISA_WV2_SLOT(Frame7Vtbl, remove_PermissionRequested, 25);
REPRISA_WV2_SLOT(Frame7Vtbl, PostSharedBufferToScript, 26);
REPRISA_WV2_SLOT(Frame7Vtbl, get_FrameId, 27);
REPRISA_WV2_SLOT(Frame7Vtbl, add_ScreenCaptureStarting, 28);
REPRISA_WV2_SLOT(Frame7Vtbl, remove_ScreenCaptureStarting, 29);
REPRISA_WV2_SLOT(Frame7Vtbl, add_FrameCreated, 30);
REPRISA_WV2_SLOT(Frame7Vtbl, remove_FrameCreated, 31);
REPRISA_WV2_SIZE(Frame7Vtbl, 32);

REPRISA_WV2_UNKNOWN(ChildFrameCreatedHandlerVtbl);
REPRISA_WV2_SLOT(ChildFrameCreatedHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(ChildFrameCreatedHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(FrameWebMessageHandlerVtbl);
REPRISA_WV2_SLOT(FrameWebMessageHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(FrameWebMessageHandlerVtbl, 4);

REPRISA_WV2_UNKNOWN(FrameDestroyedHandlerVtbl);
REPRISA_WV2_SLOT(FrameDestroyedHandlerVtbl, Invoke, 3);
REPRISA_WV2_SIZE(FrameDestroyedHandlerVtbl, 4);

// What goes over the stack by value must have the reference's size: a RECT of four 32-bit
// integers (put_Bounds), a token of one 64-bit integer (remove_*), 32-bit enumerations.
static_assert(sizeof(RECT) == 16);
static_assert(sizeof(EventToken) == 8);
static_assert(sizeof(ProcessFailedKind) == 4 && sizeof(MoveFocusReason) == 4 &&
              sizeof(KeyEventKind) == 4);
// The interface structs are their vtable pointer and nothing else.
static_assert(sizeof(Controller) == sizeof(void*) && sizeof(WebView) == sizeof(void*) &&
              sizeof(Environment) == sizeof(void*));

#undef REPRISA_WV2_SLOT
#undef REPRISA_WV2_UNKNOWN
#undef REPRISA_WV2_SIZE

}  // namespace reprisa::wv2
