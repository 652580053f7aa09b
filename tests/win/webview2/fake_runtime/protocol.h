// What the fake web view runtime and the tests that drive it agree on. Nothing here comes from
// the program: the fake learns everything from files in its own folder and from window messages,
// and the program under test only ever sees the runtime's documented entry point.
#pragma once

#include <windows.h>

namespace fakewv2 {

// Beside the DLL. The control file is read at every call of the entry point; lines "key=value":
//   entry=0x80004005        the entry point returns this instead of answering
//   environment=MODE        how the environment's creation is answered
//   controller=MODE         how the controller's creation is answered
//   navigate=0x80070057     every Navigate of an absolute address fails with this
//   web_error_status=12     every load completes as failed with this status
//   http_status=503         every load reports this HTTP status
//   navigation=hang         every load waits for its server for ever; Stop ends it as cancelled
//   navigation=arrive       every load's page begins to arrive (ContentLoading), and it never
//                           completes
// (these four are about loads over the network: an about: address loads at once, always)
//   frames=no               the web view has no fourth interface: no frames, no frame events
//   frame7=no               frames have no seventh interface: frames inside frames are not told
// MODE: ok (the default), error (a failure code and no object), null (success and no object),
// hang (never answered), hold (answered as ok when kReleaseMessage arrives).
constexpr wchar_t kControlFile[] = L"fake_runtime.ini";
// Beside the DLL: one line per call, event and object life, appended as it happens (UTF-8).
constexpr wchar_t kLogFile[] = L"calls.log";

// The web view's coloured child window (one per controller).
constexpr wchar_t kViewClass[] = L"FakeWebView2View";
constexpr COLORREF kViewColour = RGB(0x1E, 0x90, 0x60);
// The message-only window through which every answer reaches the caller's thread.
constexpr wchar_t kPostClass[] = L"FakeWebView2Post";

// To the view window: the process of that process-failed kind (wParam: 0 the browser process,
// 1 the page's renderer, 2 the renderer reported unresponsive once, 4 a utility process ...) ends.
constexpr UINT kEndProcessMessage = WM_APP + 0x2F1;
// To the message-only window: answer every creation that is held.
constexpr UINT kReleaseMessage = WM_APP + 0x2F2;

// To the view window: Tab leaves the page's last element (wParam 1) or Shift+Tab its first
// (wParam 2): MoveFocusRequested is raised with that reason. Unhandled, the focus stays.
constexpr UINT kFocusLeavesMessage = WM_APP + 0x2F8;

// To the view window: the page's renderer hangs (wParam 1), reported unresponsive at once and every
// two seconds, or answers again (wParam 0).
constexpr UINT kHangMessage = WM_APP + 0x2F9;
// To the view window: the page starts a load itself, of http://127.0.0.1:9/by-the-page, which goes
// as the control file says.
constexpr UINT kPageLoadsMessage = WM_APP + 0x2FA;

// Sent to the view window as WM_COPYDATA: the page posts a message. The data is UTF-16, the
// posting document's address, a line feed, then the text; dwData says how it is posted.
constexpr ULONG_PTR kPostedString = 0;     // by the top document, as a string
constexpr ULONG_PTR kPostedNotAString = 1;  // by the top document, an object (the text is its JSON)
constexpr ULONG_PTR kPostedInFrame = 2;    // by a frame of the top document, as a string
// Sent to the view window as WM_COPYDATA with this dwData: the page calls history.pushState with
// the address given (UTF-16, alone). The web view's source changes; no load is reported.
constexpr ULONG_PTR kPushedState = 0x100;  // past every kPostedInFrame + n
// kPostedInFrame + n: by the frame n levels inside that frame (a frame in a frame ...), as a
// string. Each frame on the way is made with the first message that needs it.

// The completed handlers the caller passes in: the fake asks each for its interface first.
constexpr GUID kIEnvironmentCompleted = {
    0x4E8A3389, 0xC9D8, 0x4BD2, {0xB6, 0xB5, 0x12, 0x4F, 0xEE, 0x6C, 0xC1, 0x4D}};
constexpr GUID kIControllerCompleted = {
    0x6C4819F3, 0xC9B7, 0x4260, {0x81, 0x27, 0xC9, 0xF5, 0xBD, 0xE7, 0xF6, 0x8C}};

// The exit code of a process that called a slot beyond the reference's table.
constexpr UINT kUnknownSlotExitCode = 0x5107BAD;

}  // namespace fakewv2
