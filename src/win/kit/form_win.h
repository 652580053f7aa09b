// Top-level windows: the main window and dialogs.
#pragma once

#include "win/kit/application_win.h"
#include "win/kit/controls_win.h"

namespace reprisa {

class TButtonControl;
class TMainMenu;

using TCloseQueryEvent = std::function<void(TObject* sender, bool& can_close)>;

enum class TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TPosition { poDesigned, poDefault, poScreenCenter, poDesktopCenter, poMainFormCenter };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrRetry = 4;

// The dots per inch a form is built for; tests may replace the screen's with their own.
int ScreenDpi();
void SetScreenDpiOverride(int dpi);  // 0: the screen's

class TForm : public TWinControl, public MessageFilter {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // The most derived class's name, also while the form is being destroyed (when the derived
  // parts are already gone but its destroy event still runs).
  std::wstring ClassName() const override { return class_name_.empty() ? L"TForm" : class_name_; }

  // Layout: set the design font before creating controls; the scale follows from it.
  void SetDesignFont(const TFontSpec& font);
  LayoutScale Scale() const noexcept { return scale_; }
  int Dpi() const noexcept { return dpi_; }
  // Client size in design units.
  void SetDesignClientSize(int width, int height);
  int ClientWidth();
  int ClientHeight();

  std::wstring Caption() const { return Text(); }
  void SetCaption(const std::wstring& caption) { SetText(caption); }

  TBorderStyle BorderStyle() const noexcept { return border_style_; }
  void SetBorderStyle(TBorderStyle style) { border_style_ = style; }
  unsigned BorderIcons() const noexcept { return border_icons_; }
  void SetBorderIcons(unsigned icons);
  TFormStyle FormStyle() const noexcept { return TFormStyle::fsNormal; }
  TPosition Position() const noexcept { return position_; }
  void SetPosition(TPosition p) { position_ = p; }
  TWindowState WindowState();
  void SetWindowState(TWindowState state);
  TWinControl* ActiveControl();
  void SetActiveControl(TWinControl* control);
  bool IsMainForm() const;

  void SetMenu(TMainMenu* menu);
  TMainMenu* Menu() const noexcept { return menu_; }
  void SetDefaultButton(TButtonControl* button) { default_button_ = button; }
  void SetCancelButton(TButtonControl* button) { cancel_button_ = button; }
  TButtonControl* DefaultButton() const noexcept { return default_button_; }
  TButtonControl* CancelButton() const noexcept { return cancel_button_; }

  void Show();
  void Hide();
  // Asks the form whether it may close, runs its close handler; the main form ends the program.
  void Close();
  int ShowModal();
  int ModalResult() const noexcept { return modal_result_; }
  void SetModalResult(int result) { modal_result_ = result; }

  // Focuses the tab stop after `current` (or, backwards, before it) in the form's tab order,
  // round the end; from a control outside the order, the first (or last) stop. False when the
  // form has no tab stop.
  bool SelectNextFrom(TWinControl* current, bool forward);

  // Enter, Escape and Tab for the form's own controls; true when the message was used.
  bool PreTranslateMessage(MSG& msg) override;
  void BeforeDestruction() override;

  TNotifyEvent OnCreate, OnShow, OnHide, OnDestroy;
  TCloseQueryEvent OnCloseQuery;
  std::function<void(TObject*, TCloseAction&)> OnClose;

  // Ends construction of a form built from its layout: creates the windows (of the main form;
  // other forms create theirs when first shown), calls Loaded() on every component, then the
  // creation handler.
  void FinishBuilding();

 protected:
  void CreateParams(CreateParamsT& params) override;
  void CreateHandle() override;
  void HandleCreated() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  virtual bool CloseQuery();
  void DoShow();
  // Called each time Show() has made the window visible, before the window's next message: the
  // place for what it needs only once it can be seen, which then costs the start no time.
  virtual void Shown() {}

 private:
  bool SelectNext(bool forward);
  // The control that gets the focus when the window does: the last active one, else the first
  // tab stop.
  TWinControl* FocusTarget();
  void CenterOnScreen();
  void ApplyClientSize();

  TFontSpec font_spec_;
  FontHandle font_;
  int dpi_ = kDesignDpi;
  LayoutScale scale_;
  int design_client_width_ = 0, design_client_height_ = 0;
  TBorderStyle border_style_ = TBorderStyle::bsSizeable;
  unsigned border_icons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = TPosition::poDesigned;
  TWindowState window_state_ = TWindowState::wsNormal;
  TMainMenu* menu_ = nullptr;
  TButtonControl* default_button_ = nullptr;
  TButtonControl* cancel_button_ = nullptr;
  TWinControl* active_control_ = nullptr;
  int modal_result_ = mrNone;
  bool modal_ = false;
  bool shown_once_ = false;
  bool destroy_event_done_ = false;
  std::wstring class_name_;

  friend class TWinControl;
};

}  // namespace reprisa
