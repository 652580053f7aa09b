// The standard controls of the kit: panels, labels, edits, buttons and bitmap buttons, images
// and the main menu. Each is a real child window of a standard class (or of our own class, for
// panels and images), with its caption set, so that screen readers and automation find it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "win/kit/controls_win.h"
#include "core/jpeg_image.h"

namespace reprisa {

class TForm;

enum class TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);
  std::wstring ClassName() const override { return L"TPanel"; }
  void SetBevels(TBevelCut inner, TBevelCut outer);
  TBevelCut BevelInner() const noexcept { return inner_; }
  TBevelCut BevelOuter() const noexcept { return outer_; }

 protected:
  void CreateParams(CreateParamsT& params) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  TBevelCut inner_ = TBevelCut::bvNone;
  TBevelCut outer_ = TBevelCut::bvRaised;
};

// A text on its parent's background; sized to its text unless given a fixed size.
class TLabel : public TWinControl {
 public:
  explicit TLabel(TComponent* owner);
  std::wstring ClassName() const override { return L"TLabel"; }
  bool InTabList() const override { return false; }
  void SetCaption(const std::wstring& caption);
  std::wstring Caption() const { return Text(); }
  // Fixed size with word wrapping, or (default) sized to the text on one line.
  void SetWordWrap(bool value) { word_wrap_ = value; }
  void SetAutoSize(bool value) { auto_size_ = value; }
  // The field this label names, a sibling made before the label's window: the label's window
  // comes right before the field's in their parent's window order, where the system's
  // accessibility layer looks for the text a field is named after. A text longer than its room
  // is cut where the field (or a window after it) begins, so that it never hides one.
  void SetFocusControl(TWinControl* control);
  TWinControl* FocusControl() const noexcept { return focus_control_; }

 protected:
  void CreateParams(CreateParamsT& params) override;  // sizes the label to its text first
  void HandleCreated() override;
  HBRUSH CtlColor(HDC dc) override;

 private:
  void AdjustSize();
  void PlaceBeforeFocusControl() noexcept;
  void ClipToWindowsAfter() noexcept;
  bool word_wrap_ = false;
  bool auto_size_ = true;
  TWinControl* focus_control_ = nullptr;
};

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  std::wstring ClassName() const override { return L"TEdit"; }
  void SetReadOnly(bool value);
  bool ReadOnly() const noexcept { return read_only_; }
  TKeyPressEvent OnKeyPress;

 protected:
  void CreateParams(CreateParamsT& params) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool read_only_ = false;
};

// A push button; Click() runs the click handler and sets the form's modal result.
class TButtonControl : public TWinControl {
 public:
  explicit TButtonControl(TComponent* owner);
  std::wstring ClassName() const override { return L"TButton"; }
  virtual void Click();
  int ModalResult() const noexcept { return modal_result_; }
  void SetModalResult(int result) { modal_result_ = result; }
  void SetDefault(bool value);
  void SetCancel(bool value);
  TNotifyEvent OnClick;

 protected:
  void CreateParams(CreateParamsT& params) override;
  bool Command(WORD code) override;

 private:
  int modal_result_ = 0;
  bool default_ = false;
};

enum class TBitBtnKind { bkCustom, bkOK, bkCancel, bkRetry };

// A button with a small picture beside its caption, and a greyed twin for the disabled state.
class TBitBtn : public TButtonControl {
 public:
  explicit TBitBtn(TComponent* owner);
  ~TBitBtn() override;
  std::wstring ClassName() const override { return L"TBitBtn"; }
  // OK: default button, result 1; Cancel: cancel button, result 2; Retry: result 4. A button of
  // a stock kind without a caption of its own shows the kind's caption.
  void SetKind(TBitBtnKind kind);
  TBitBtnKind Kind() const noexcept { return kind_; }
  // A glyph of our own: bitmap resource ids of the normal and the disabled picture.
  void SetGlyph(int normal_id, int disabled_id, int size);
  bool HasGlyph() const noexcept { return image_list_ != nullptr; }

 protected:
  void HandleCreated() override;

 private:
  void LoadGlyph();
  TBitBtnKind kind_ = TBitBtnKind::bkCustom;
  int glyph_id_ = 0, disabled_id_ = 0, glyph_size_ = 0;
  HIMAGELIST image_list_ = nullptr;
};

// A picture stretched to the control.
class TImage : public TWinControl {
 public:
  explicit TImage(TComponent* owner);
  std::wstring ClassName() const override { return L"TImage"; }
  bool InTabList() const override { return false; }
  void SetPicture(const PixelImage& image);
  bool HasPicture() const noexcept { return bitmap_ != nullptr; }
  int PictureWidth() const noexcept { return picture_width_; }
  int PictureHeight() const noexcept { return picture_height_; }
  void SetStretch(bool value) { stretch_ = value; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  BitmapHandle bitmap_;
  int picture_width_ = 0, picture_height_ = 0;
  bool stretch_ = true;
};

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  std::wstring ClassName() const override { return L"TMenuItem"; }
  void SetCaption(const std::wstring& caption) { caption_ = caption; }
  const std::wstring& Caption() const noexcept { return caption_; }
  void Add(TMenuItem* item) { items_.push_back(item); }
  const std::vector<TMenuItem*>& Items() const noexcept { return items_; }
  UINT Command() const noexcept { return command_; }
  void Click();
  TNotifyEvent OnClick;

 private:
  friend class TMainMenu;
  std::wstring caption_;
  std::vector<TMenuItem*> items_;
  UINT command_ = 0;
};

class TMainMenu : public TComponent {
 public:
  explicit TMainMenu(TComponent* owner);
  ~TMainMenu() override;
  std::wstring ClassName() const override { return L"TMainMenu"; }
  void Add(TMenuItem* item) { items_.push_back(item); }
  HMENU Handle();
  // Runs the click of the item with the given command id; false when there is none.
  bool DispatchCommand(UINT id);

 private:
  void Build(HMENU menu, const std::vector<TMenuItem*>& items);
  TMenuItem* Find(const std::vector<TMenuItem*>& items, UINT id);
  std::vector<TMenuItem*> items_;
  HMENU handle_ = nullptr;
  UINT next_id_ = 100;
};

// Creates a control owned by `owner`, named, on `parent`.
template <class T>
T* NewControl(TComponent* owner, const wchar_t* name, TWinControl* parent) {
  T* c = new T(owner);
  c->SetName(name);
  c->SetParent(parent);
  return c;
}

// A one-line label sized to its text, at a place in design units.
TLabel* NewLabel(TComponent* owner, const wchar_t* name, TWinControl* parent, int left, int top,
                 const std::wstring& caption);

// Builds a 32-bit top-down DIB from decoded pixels; null when the system refuses.
HBITMAP CreateBitmapFromPixels(const PixelImage& image);

}  // namespace reprisa
