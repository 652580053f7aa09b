#include "win/app/about_box_win.h"

#include "core/interval_text.h"
#include "core/texts.h"
#include "win/app/resource_ids.h"

namespace reprisa {

TAboutBox* AboutBox = nullptr;

std::wstring InsertYear(std::wstring text, int year) {
  std::size_t at = text.find(texts::kYearPlaceholder);
  if (at != std::wstring::npos) text.replace(at, texts::kYearPlaceholder.size(), DecimalText(year));
  return text;
}

std::optional<PixelImage> LoadLogo(HMODULE module) {
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(IDR_LOGO), MAKEINTRESOURCEW(10) /*RCDATA*/);
  if (!info) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, info);
  DWORD size = SizeofResource(module, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return std::nullopt;
  return DecodeJpeg(static_cast<const std::uint8_t*>(data), size);
}

TAboutBox::TAboutBox(TComponent* owner) : TForm(owner) {
  SetName(L"AboutBox");
  SetDesignFont({L"MS Sans Serif", -11, false, clWindowText});
  SetBorderStyle(TBorderStyle::bsDialog);
  SetBorderIcons(biSystemMenu);
  SetCaption(std::wstring(texts::kAboutCaption));
  SetDesignClientSize(664, 453);
  SetPosition(TPosition::poScreenCenter);

  Panel1 = NewControl<TPanel>(this, L"Panel1", this);
  Panel1->SetDesignBounds(8, 8, 649, 385);
  Panel1->SetBevels(TBevelCut::bvRaised, TBevelCut::bvLowered);
  Panel1->SetColor(TColor::FromValue(10930928));

  ProgramIcon = NewControl<TImage>(this, L"ProgramIcon", Panel1);
  ProgramIcon->SetDesignBounds(16, 40, 306, 322);
  ProgramIcon->SetStretch(true);

  ProductName = NewLabel(this, L"ProductName", Panel1, 8, 8,
                          std::wstring(texts::kProductName));
  ProductName->SetFont({L"Arial Narrow", -24, true, clBlack});
  ProductName->SetCaption(ProductName->Caption());  // size to the headline's own font
  Copyright = NewLabel(this, L"Copyright", Panel1, 336, 40,
                        std::wstring(texts::kCopyright));
  Comments = NewControl<TLabel>(this, L"Comments", Panel1);
  Comments->SetWordWrap(true);
  Comments->SetAutoSize(false);
  Comments->SetDesignBounds(336, 56, 257, 33);
  Comments->SetCaption(std::wstring(texts::kComments));

  BitBtn1 = NewControl<TBitBtn>(this, L"BitBtn1", this);
  BitBtn1->SetDesignBounds(241, 404, 181, 37);
  BitBtn1->SetKind(TBitBtnKind::bkOK);
  BitBtn1->SetTabOrder(1);

  Label1 = NewLabel(this, L"Label1", Panel1, 336, 96,
                     std::wstring(texts::kQuality));
  Label1->SetFont({L"MS Sans Serif", -11, true, clWindowText});
  Label1->SetCaption(Label1->Caption());
  Label2 = NewLabel(this, L"Label2", Panel1, 336, 112,
                     std::wstring(texts::kSlogan));
  Label3 = NewControl<TLabel>(this, L"Label3", Panel1);
  Label3->SetWordWrap(true);
  Label3->SetAutoSize(false);
  Label3->SetDesignBounds(336, 131, 238, 121);
  Label3->SetCaption(std::wstring(texts::kNews));

  BitBtnXP1 = NewControl<TBitBtn>(this, L"BitBtnXP1", Panel1);
  BitBtnXP1->SetDesignBounds(336, 240, 169, 25);
  BitBtnXP1->SetText(std::wstring(texts::kMakerWebSiteCaption));
  BitBtnXP1->SetGlyph(IDB_GLYPH_GLOBE, IDB_GLYPH_GLOBE_DISABLED, 16);
  BitBtnXP1->SetTabOrder(0);
  BitBtnXP1->OnClick = [this](TObject* s) { BitBtnXP1Click(s); };

  Panel1->SetTabOrder(0);
  OnCreate = [this](TObject* s) { FormCreate(s); };
  // The dialog opens with its OK button focused, every time, so that Enter closes it.
  OnShow = [this](TObject*) { SetActiveControl(BitBtn1); };
  FinishBuilding();
}

void TAboutBox::HandleCreated() {
  TForm::HandleCreated();
  // The logo is decoded when the dialog's windows are made, at its first showing.
  if (!ProgramIcon->HasPicture()) {
    if (auto logo = LoadLogo()) ProgramIcon->SetPicture(*logo);
  }
}

TAboutBox::~TAboutBox() {
  if (AboutBox == this) AboutBox = nullptr;
}

void TAboutBox::FormCreate(TObject*) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  Copyright->SetCaption(InsertYear(Copyright->Caption(), now.wYear));
}

void TAboutBox::BitBtnXP1Click(TObject*) {
  if (open_hook) {
    open_hook(WindowHandle(), std::wstring(kMakerWebSite));
    return;
  }
  // The shell is loaded only when it is needed: it is large, and nothing else uses it.
  using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  static HMODULE shell = LoadLibraryW(L"shell32.dll");
  if (!shell) return;
  auto execute = reinterpret_cast<ShellExecuteFn>(
      reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteW")));
  if (execute) execute(WindowHandle(), L"open", kMakerWebSite.data(), nullptr, nullptr, SW_SHOW);
}

}  // namespace reprisa
