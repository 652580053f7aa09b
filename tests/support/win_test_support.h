// Helpers shared by the Wine-run suites: message pumping with a bound, and recording boxes.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/design_layout.h"
#include "win/kit/application_win.h"
#include "win/kit/stdctrls_win.h"
#include "support/win_probes.h"

namespace reprisa::testing_support {

// Dispatches messages through the application's loop until `done` or the time is up. What is
// waiting is dispatched before `done` is asked, so that a condition met by another thread (a
// request seen by a test server) still lets this thread handle what that brought in first.
// The one message pump of the Wine-run suites.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 3000) {
  const DWORD start = GetTickCount();
  for (;;) {
    Application->ProcessMessages();
    if (done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeout_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(10, timeout_ms - elapsed),
                              QS_ALLINPUT);
  }
}

// Dispatches until no message is waiting: what the last action posted has been handled.
inline bool PumpUntilIdle(DWORD timeout_ms = 3000) {
  return PumpUntil([] {
    MSG msg;
    return !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  }, timeout_ms);
}

inline void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

struct RecordedBox {
  HWND owner;
  std::wstring text, caption;
  UINT flags;
};

// Records the application's message boxes for the lifetime of the object.
class BoxRecorder {
 public:
  BoxRecorder() {
    Application->message_box_hook = [this](HWND owner, const std::wstring& text,
                                           const std::wstring& caption, UINT flags) {
      boxes.push_back({owner, text, caption, flags});
      return IDOK;
    };
  }
  ~BoxRecorder() { Application->message_box_hook = nullptr; }
  std::vector<RecordedBox> boxes;
};

// Presses a key on a control as the keyboard would: key down through the message loop.
inline void PressKey(HWND target, WPARAM vk) {
  PostMessageW(target, WM_KEYDOWN, vk, 1);
  PostMessageW(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
}

// Presses a key and waits, bounded, until no key message of it is left waiting: the key, its
// character and whatever they set off in the same loop have been handled.
inline bool PressKeyAndWait(HWND target, WPARAM vk) {
  PressKey(target, vk);
  return PumpUntil([] {
    MSG msg;
    return !PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE);
  });
}

// Forgets what the placement store keeps for this test program (HKCU\Software\<exe name>), so
// that every form test starts as a first run.
inline void ClearStoredPlacement() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name = path;
  name = name.substr(name.find_last_of(L"\\/") + 1);
  name = name.substr(0, name.find_last_of(L'.'));
  RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + name).c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, (L"Software\\" + name).c_str());
}

// Relative rectangle of a window inside its parent's client area.
inline RECT RectInParent(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Every control of a design table where the window put it (rectangles in the parent at 96 dpi;
// a one-line label is as wide as its text, so only its corner), in its place of the tab order,
// and read-only where the table says.
inline void ExpectAsDesigned(const TComponent& form,
                             std::initializer_list<const design::Control*> controls) {
  for (const design::Control* d : controls) {
    const std::string name(d->name.begin(), d->name.end());
    auto* c = dynamic_cast<TWinControl*>(form.FindComponent(d->name));
    if (!c) {
      ADD_FAILURE() << "no control " << name;
      continue;
    }
    const RECT r = RectInParent(c->WindowHandle());
    EXPECT_EQ(r.left, d->left) << name;
    EXPECT_EQ(r.top, d->top) << name;
    if (d->width == 0) continue;
    EXPECT_EQ(r.right - r.left, d->width) << name;
    EXPECT_EQ(r.bottom - r.top, d->height) << name;
    if (dynamic_cast<TLabel*>(c) || dynamic_cast<TImage*>(c)) continue;  // never focused
    EXPECT_EQ(c->TabOrder(), d->tab_order) << name;
    if (auto* edit = dynamic_cast<TEdit*>(c)) {
      EXPECT_EQ(edit->ReadOnly(), d->read_only) << name;
    }
  }
}

}  // namespace reprisa::testing_support
