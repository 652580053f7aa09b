// The application object: OLE and COM for the user-interface thread, the forms it owns, the
// message loop and the error handler that shows every failure escaping an event handler.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/component.h"

namespace reprisa {

class TForm;

// COM (single-threaded apartment) or OLE initialised for the calling thread for the life of the
// object. S_FALSE (the thread had it already) is a success like S_OK and is balanced like it;
// a failure (the thread is in another apartment) is remembered and not undone.
class TComScope {
 public:
  enum class Kind { Com, Ole };
  explicit TComScope(Kind kind);
  ~TComScope();
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

  bool Succeeded() const noexcept { return SUCCEEDED(result_); }
  HRESULT Result() const noexcept { return result_; }

 private:
  Kind kind_;
  HRESULT result_;
};

// A modal state for one window: while it lasts, every other visible, enabled top-level window of
// the thread is disabled. At its end those windows are enabled again (the ones that still exist)
// and the window that was active and the window that had the keyboard focus get them back.
// EnableOthers() ends the first half early, for a caller that hides its modal window in between.
class TModalScope {
 public:
  explicit TModalScope(HWND modal_window);
  ~TModalScope();
  TModalScope(const TModalScope&) = delete;
  TModalScope& operator=(const TModalScope&) = delete;

  void EnableOthers() noexcept;
  void End() noexcept;

  // The windows disabled now (for tests).
  const std::vector<HWND>& Disabled() const noexcept { return disabled_; }

 private:
  HWND active_;
  HWND focus_;
  std::vector<HWND> disabled_;
  bool ended_ = false;
};

// Offered every message before it is translated and dispatched; true when it was used.
class MessageFilter {
 public:
  virtual ~MessageFilter() = default;
  virtual bool PreTranslateMessage(MSG& msg) = 0;
};

class TApplication : public TComponent {
 public:
  // Initialises OLE for the thread (remembering whether it succeeded).
  TApplication();
  ~TApplication() override;

  std::wstring ClassName() const override { return L"TApplication"; }

  // Initialises COM for the thread (single-threaded apartment). The application's hidden window
  // is made by the first call of Handle() after this, or when the message loop first runs out of
  // messages once there is a main window.
  void Initialize();

  const std::wstring& Title() const noexcept { return title_; }
  void SetTitle(const std::wstring& title);
  bool MainFormOnTaskBar() const noexcept { return main_form_on_task_bar_; }
  void SetMainFormOnTaskBar(bool value) { main_form_on_task_bar_ = value; }
  TForm* MainForm() const noexcept { return main_form_; }
  // The hidden application window, made on first use after Initialize (null before it);
  // throws EOutOfResources when it cannot be made.
  HWND Handle();
  bool Terminated() const noexcept { return terminated_; }
  bool OleInitialized() const noexcept { return ole_.Succeeded(); }

  // Creates a form of class T owned by the application; `ref` is set before construction ends
  // (the form's constructor stores itself through RegisterCreating). The first form created
  // becomes the main form. When construction fails, `ref` is cleared and the error propagates.
  template <class T>
  void CreateForm(T*& ref) {
    creating_store_ = [&ref](TForm* form) {
      if (ref == nullptr) ref = static_cast<T*>(form);
    };
    try {
      T* form = new T(this);
      creating_store_ = nullptr;
      ref = form;
      FormCreated(form);
    } catch (...) {
      creating_store_ = nullptr;
      ref = nullptr;
      throw;
    }
  }
  // Called by TForm's constructor: stores the form in the reference of CreateForm and makes
  // the first form the main form.
  void RegisterCreating(TForm* form);
  // Called by TForm's destructor: a destroyed main form is no longer the main form.
  void FormDestroyed(TForm* form) noexcept {
    if (main_form_ == form) main_form_ = nullptr;
  }

  // Shows the main window (honouring the start-up show command) and runs the loop until
  // Terminate. Returns the process exit code.
  int Run();
  void Terminate();
  // Takes and dispatches one message, waiting for one when the queue is empty.
  void HandleMessage();
  // Dispatches every message already waiting (tests use it to let a window settle).
  void ProcessMessages();
  void Minimize();
  bool Minimized() const;

  // The error handler for the exception in flight (call only inside a catch block).
  void HandleException(TObject* sender);
  void ShowException(const std::wstring& display_text);
  int MessageBox(const std::wstring& text, const std::wstring& caption, UINT flags);

  void AddMessageFilter(MessageFilter* filter);
  void RemoveMessageFilter(MessageFilter* filter) noexcept;

  // Test seam: when set, message boxes are handed to it instead of being shown.
  std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags)>
      message_box_hook;
  // Test seam: the show command of the start-up information (default: the process's own).
  std::function<int()> startup_show_command;

 private:
  bool ProcessMessage(MSG& msg);
  void FormCreated(TForm* form);
  void ApplyTaskBarStyle();
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);

  HWND handle_ = nullptr;
  std::wstring title_;
  bool main_form_on_task_bar_ = false;
  TForm* main_form_ = nullptr;
  bool terminated_ = false;
  TComScope ole_{TComScope::Kind::Ole};  // first: before any window exists
  std::optional<TComScope> com_;
  bool initialized_ = false;
  bool main_form_created_ = false;
  bool idle_window_tried_ = false;
  std::vector<MessageFilter*> filters_;
  std::function<void(TForm*)> creating_store_;  // set while CreateForm constructs
};

// The one application object of the process (null before it exists).
extern TApplication* Application;

}  // namespace reprisa
