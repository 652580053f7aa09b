#include "win/kit/application_win.h"

#include <ole2.h>

#include <algorithm>

#include "core/exceptions.h"
#include "core/texts.h"
#include "win/kit/form_win.h"
#include "win/kit/startup_trace_win.h"

namespace reprisa {

TApplication* Application = nullptr;

namespace {
constexpr wchar_t kAppClass[] = L"TApplication";

struct ThreadWindows {
  HWND except;
  std::vector<HWND>* disabled;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM lp) {
  auto* tw = reinterpret_cast<ThreadWindows*>(lp);
  if (hwnd != tw->except && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
    try {
      tw->disabled->push_back(hwnd);  // remembered first: only what can be enabled again is disabled
    } catch (...) {
      return FALSE;
    }
    EnableWindow(hwnd, FALSE);
  }
  return TRUE;
}
}  // namespace

TComScope::TComScope(Kind kind)
    : kind_(kind),
      result_(kind == Kind::Ole ? OleInitialize(nullptr)
                                : CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

TComScope::~TComScope() {
  if (!Succeeded()) return;
  if (kind_ == Kind::Ole) OleUninitialize();
  else CoUninitialize();
}

TModalScope::TModalScope(HWND modal_window) : active_(GetActiveWindow()), focus_(GetFocus()) {
  ThreadWindows tw{modal_window, &disabled_};
  EnumThreadWindows(GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(&tw));
}

TModalScope::~TModalScope() { End(); }

void TModalScope::EnableOthers() noexcept {
  for (HWND h : disabled_)
    if (IsWindow(h)) EnableWindow(h, TRUE);
  disabled_.clear();
}

void TModalScope::End() noexcept {
  if (ended_) return;
  ended_ = true;
  EnableOthers();
  if (active_ && IsWindow(active_)) SetActiveWindow(active_);
  if (focus_ && IsWindow(focus_)) SetFocus(focus_);
}

TApplication::TApplication() : TComponent(nullptr) {
  Application = this;
  SetErrorHandler([this](TObject* sender) { HandleException(sender); });
}

TApplication::~TApplication() {
  BeginDestroy();
  DestroyComponents();  // the forms, newest first
  main_form_ = nullptr;
  SetErrorHandler(nullptr);
  if (handle_) DestroyWindow(handle_);
  com_.reset();  // undone in the reverse order; OLE goes with the object itself
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  if (!com_) com_.emplace(TComScope::Kind::Com);
  initialized_ = true;
}

HWND TApplication::Handle() {
  if (!handle_ && initialized_) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kAppClass;
    SetApplicationIcons(wc);
    RegisterClassExW(&wc);
    handle_ = CreateWindowExW(0, kAppClass, title_.c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                              0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    if (!handle_) throw EOutOfResources(std::wstring(texts::kApplicationWindowFailed));
    if (main_form_created_) ApplyTaskBarStyle();
  }
  return handle_;
}

void TApplication::ApplyTaskBarStyle() {
  if (!main_form_on_task_bar_ || !handle_) return;
  // The main window owns the task-bar button; ours is hidden and never activated.
  LONG ex = GetWindowLongW(handle_, GWL_EXSTYLE);
  SetWindowLongW(handle_, GWL_EXSTYLE, (ex | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW) & ~WS_EX_APPWINDOW);
}

void TApplication::SetTitle(const std::wstring& title) {
  title_ = title;
  if (handle_) SetWindowTextW(handle_, title_.c_str());
}

void TApplication::RegisterCreating(TForm* form) {
  if (creating_store_) creating_store_(form);
  if (!main_form_) main_form_ = form;
}

void TApplication::FormCreated(TForm* form) {
  if (form != main_form_) return;
  main_form_created_ = true;
  ApplyTaskBarStyle();
}

int TApplication::Run() {
  if (!main_form_) return 0;
  int show = SW_SHOWNORMAL;
  if (startup_show_command) {
    show = startup_show_command();
  } else {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    GetStartupInfoW(&si);
    if (si.dwFlags & STARTF_USESHOWWINDOW) show = si.wShowWindow;
  }
  bool start_minimized = false;
  if (show == SW_SHOWMAXIMIZED) main_form_->SetWindowState(TWindowState::wsMaximized);
  else if (show == SW_SHOWMINNOACTIVE) start_minimized = true;

  if (start_minimized) {
    main_form_->SetWindowState(TWindowState::wsMinimized);
    main_form_->Show();
    Minimize();
  } else {
    main_form_->Show();
  }
  while (!terminated_) HandleMessage();
  return 0;
}

void TApplication::Terminate() {
  if (!terminated_) PostQuitMessage(0);
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  // Newest filter first: a browser inside a form sees its keys before the form does.
  // A copy: a filter may add or remove filters while it runs.
  const std::vector<MessageFilter*> filters = filters_;
  for (auto it = filters.rbegin(); it != filters.rend(); ++it)
    if (std::find(filters_.begin(), filters_.end(), *it) != filters_.end() &&
        (*it)->PreTranslateMessage(msg))
      return true;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

void TApplication::HandleMessage() {
  MSG msg;
  try {
    if (!ProcessMessage(msg)) {
      // Nothing needs the application's own window before the main window is up and painted:
      // unless asked for earlier, it is made the first time the queue runs empty.
      // Tried once: a window that cannot be made is reported once, not at every idle moment.
      if (main_form_ && !idle_window_tried_) {
        idle_window_tried_ = true;
        StartupMark("first idle: queue empty after the show");
        Handle();
        StartupMark("first idle: application window");
      }
      WaitMessage();
    }
  } catch (...) {
    HandleException(this);
  }
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (!terminated_) {
    bool got = false;
    try {
      got = ProcessMessage(msg);
    } catch (...) {
      HandleException(this);
      got = true;
    }
    if (!got) break;
  }
}

void TApplication::Minimize() {
  if (main_form_on_task_bar_ && main_form_ && main_form_->HandleAllocated())
    ShowWindow(main_form_->WindowHandle(), SW_SHOWMINNOACTIVE);
  else if (handle_)
    ShowWindow(handle_, SW_MINIMIZE);
  // Without a main window and without a window of its own there is nothing to minimise.
}

bool TApplication::Minimized() const {
  if (main_form_on_task_bar_ && main_form_ && main_form_->HandleAllocated())
    return IsIconic(main_form_->WindowHandle()) != FALSE;
  return handle_ && IsIconic(handle_);
}

void TApplication::HandleException(TObject* /*sender*/) {
  if (HWND capture = GetCapture()) SendMessageW(capture, WM_CANCELMODE, 0, 0);
  const ExceptionReport report = ClassifyException(std::current_exception());
  const std::optional<std::wstring> text = ReportText(report);
  if (!text) return;
  if (report.route != ExceptionRoute::LastResort) {
    ShowException(*text);
    return;
  }
  // Not one of ours: a plain system box, independent of the application's own machinery.
  if (message_box_hook)
    message_box_hook(nullptr, *text, title_, MB_ICONERROR | MB_OK);
  else
    ::MessageBoxW(nullptr, text->c_str(), title_.c_str(), MB_ICONERROR | MB_OK | MB_TASKMODAL);
}

void TApplication::ShowException(const std::wstring& display_text) {
  MessageBox(display_text, title_, MB_ICONERROR | MB_OK);
}

int TApplication::MessageBox(const std::wstring& text, const std::wstring& caption, UINT flags) {
  HWND owner = GetActiveWindow();
  if (!owner) {
    try {
      owner = Handle();
    } catch (...) {
      owner = nullptr;  // the box is shown without an owner then
    }
  }
  if (message_box_hook) return message_box_hook(owner, text, caption, flags);
  TModalScope modal(owner);
  return ::MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

void TApplication::AddMessageFilter(MessageFilter* filter) { filters_.push_back(filter); }

void TApplication::RemoveMessageFilter(MessageFilter* filter) noexcept {
  filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

LRESULT CALLBACK TApplication::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // Minimising the application (as a restored placement asks) minimises its main window.
  if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_MINIMIZE && Application &&
      Application->handle_ == hwnd) {
    Application->Minimize();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace reprisa
