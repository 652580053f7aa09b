#include "win/app/about_box_win.h"

#include "core/design_layout.h"
#include "core/texts.h"
#include "win/app/design_controls_win.h"
#include "win/app/resource_ids.h"

namespace reprisa {

TAboutBox* AboutBox = nullptr;

std::optional<PixelImage> LoadLogo(HMODULE module) {
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(IDR_LOGO), MAKEINTRESOURCEW(10) /*RCDATA*/);
  if (!info) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, info);
  DWORD size = SizeofResource(module, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return std::nullopt;
  return DecodeJpeg(static_cast<const std::uint8_t*>(data), size);
}

namespace {

const design::AboutDialog& kDesign = design::kAboutDialog;

int CurrentYear() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return now.wYear;
}

}  // namespace

TAboutBox::TAboutBox(TComponent* owner) : TForm(owner) {
  SetName(std::wstring(kDesign.name));
  SetDesignFont(FontSpec(kDesign.font, clWindowText));
  SetBorderStyle(TBorderStyle::bsDialog);
  SetBorderIcons(biSystemMenu);
  SetCaption(std::wstring(texts::kAboutCaption));
  SetDesignClientSize(kDesign.client_width, kDesign.client_height);
  SetPosition(TPosition::poScreenCenter);

  panel = NewControl<TPanel>(this, kDesign.panel.name.data(), this);
  panel->SetDesignBounds(kDesign.panel.left, kDesign.panel.top, kDesign.panel.width,
                         kDesign.panel.height);
  panel->SetBevels(TBevelCut::bvRaised, TBevelCut::bvLowered);
  panel->SetColor(TColor::FromValue(kDesign.panel_color.Value()));
  BuildPanel();

  ok_button = MakeButton(this, kDesign.ok_button, this);
  panel->SetTabOrder(kDesign.panel.tab_order);
  // The dialog opens with its OK button focused, every time, so that Enter closes it.
  OnShow = [this](TObject*) { SetActiveControl(ok_button); };
  FinishBuilding();
}

void TAboutBox::BuildPanel() {
  logo = NewControl<TImage>(this, kDesign.logo.name.data(), panel);
  logo->SetDesignBounds(kDesign.logo.left, kDesign.logo.top, kDesign.logo.width,
                        kDesign.logo.height);
  logo->SetStretch(true);

  product_name = MakeLabel(this, kDesign.product_name, panel);
  product_name->SetFont(FontSpec(kDesign.product_name_font, clBlack));
  product_name->SetCaption(product_name->Caption());  // size to the headline's own font
  copyright = MakeLabel(this, kDesign.copyright, panel);
  copyright->SetCaption(texts::InsertYear(copyright->Caption(), CurrentYear()));
  comments = MakeWrappingLabel(this, kDesign.comments, panel);
  quality_label = MakeLabel(this, kDesign.quality, panel);
  quality_label->SetFont(FontSpec(kDesign.quality_font, clWindowText));
  quality_label->SetCaption(quality_label->Caption());
  slogan_label = MakeLabel(this, kDesign.slogan, panel);
  news_label = MakeWrappingLabel(this, kDesign.news, panel);

  web_site_button = MakeButton(this, kDesign.web_site_button, panel);
  web_site_button->SetGlyph(IDB_GLYPH_GLOBE, IDB_GLYPH_GLOBE_DISABLED, 16);
  web_site_button->OnClick = [this](TObject* s) { OnWebSiteButtonClick(s); };
}

void TAboutBox::HandleCreated() {
  TForm::HandleCreated();
  // The logo is decoded when the dialog's windows are made, at its first showing.
  if (!logo->HasPicture()) {
    if (auto picture = LoadLogo()) logo->SetPicture(*picture);
  }
}

TAboutBox::~TAboutBox() {
  if (AboutBox == this) AboutBox = nullptr;
}

void TAboutBox::OnWebSiteButtonClick(TObject*) {
  if (open_hook) {
    open_hook(WindowHandle(), std::wstring(texts::kMakerWebSite));
    return;
  }
  // The shell is loaded only when it is needed: it is large, and nothing else uses it.
  using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  static HMODULE shell = LoadLibraryW(L"shell32.dll");
  if (!shell) return;
  auto execute = reinterpret_cast<ShellExecuteFn>(
      reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteW")));
  if (execute)
    execute(WindowHandle(), L"open", texts::kMakerWebSite.data(), nullptr, nullptr, SW_SHOW);
}

}  // namespace reprisa
