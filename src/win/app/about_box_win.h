// The About dialog: the maker's logo, texts and a button that opens the maker's web site.
#pragma once

#include "core/texts.h"
#include "win/kit/form_win.h"
#include "win/kit/stdctrls_win.h"

namespace reprisa {

inline constexpr std::wstring_view kMakerWebSite = texts::kMakerWebSite;

class TAboutBox : public TForm {
 public:
  explicit TAboutBox(TComponent* owner);
  ~TAboutBox() override;
  std::wstring ClassName() const override { return L"TAboutBox"; }

  TPanel* Panel1;
  TImage* ProgramIcon;
  TLabel* ProductName;
  TLabel* Copyright;
  TLabel* Comments;
  TBitBtn* BitBtn1;
  TLabel* Label1;
  TLabel* Label2;
  TLabel* Label3;
  TBitBtn* BitBtnXP1;

  void FormCreate(TObject* sender);
  void BitBtnXP1Click(TObject* sender);

  // Test seam: replaces the shell's "open" (owner, address).
  std::function<void(HWND, const std::wstring&)> open_hook;

 protected:
  void HandleCreated() override;
};

// Puts the year in place of the first "XXXX" of a text.
std::wstring InsertYear(std::wstring text, int year);

// Loads the logo picture from a module's resources (by default the executable's); nothing when
// it is missing or damaged.
std::optional<PixelImage> LoadLogo(HMODULE module = GetModuleHandleW(nullptr));

extern TAboutBox* AboutBox;

}  // namespace reprisa
