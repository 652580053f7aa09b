// The About dialog: the maker's logo, texts and a button that opens the maker's web site.
#pragma once

#include "win/kit/form_win.h"
#include "win/kit/stdctrls_win.h"

namespace reprisa {

class TAboutBox : public TForm {
 public:
  explicit TAboutBox(TComponent* owner);
  ~TAboutBox() override;
  std::wstring ClassName() const override { return L"TAboutBox"; }

  TPanel* panel;
  TImage* logo;
  TLabel* product_name;
  TLabel* copyright;
  TLabel* comments;
  TBitBtn* ok_button;
  TLabel* quality_label;
  TLabel* slogan_label;
  TLabel* news_label;
  TBitBtn* web_site_button;

  void OnWebSiteButtonClick(TObject* sender);

  // Test seam: replaces the shell's "open" (owner, address).
  std::function<void(HWND, const std::wstring&)> open_hook;

 protected:
  void HandleCreated() override;

 private:
  void BuildPanel();
};

// Loads the logo picture from a module's resources (by default the executable's); nothing when
// it is missing or damaged.
std::optional<PixelImage> LoadLogo(HMODULE module = GetModuleHandleW(nullptr));

extern TAboutBox* AboutBox;

}  // namespace reprisa
