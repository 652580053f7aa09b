// The fonts of the two windows as this system draws them: the face each requested font resolves
// to, and whether each label's text fits the room it has up to the next control.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/win_test_support.h"
#include "win/app/about_box_win.h"
#include "win/app/main_form_win.h"
#include "win/kit/stdctrls_win.h"

namespace reprisa {
namespace {
using namespace testing_support;

// The faces a requested face may resolve to: itself, or the stand-in this system has for it (the
// TrueType successor of the bitmap face; under Wine, Liberation Sans Narrow for Arial Narrow, which
// has its metrics: scripts/bootstrap installs it and makes it Wine's replacement for the face, so
// that GetTextFace names the face asked for).
struct FaceRule {
  const wchar_t* requested;
  std::vector<std::wstring> accepted;
};
const FaceRule kFaces[] = {
    {L"Tahoma", {L"Tahoma"}},
    {L"MS Sans Serif", {L"MS Sans Serif", L"Microsoft Sans Serif"}},
    {L"Arial Narrow", {L"Arial Narrow", L"Liberation Sans Narrow"}},
};

std::wstring RequestedFace(HFONT font) {
  LOGFONTW lf{};
  GetObjectW(font, sizeof(lf), &lf);
  return lf.lfFaceName;
}

std::wstring ResolvedFace(HDC dc, HFONT font) {
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  SelectObject(dc, old);
  return face;
}

// Whether the font selected is one of Wine's own (its name table names Wine), whose metrics
// differ from the fonts a Windows system brings.
bool IsWinesOwnFont(HDC dc, HFONT font) {
  HGDIOBJ old = SelectObject(dc, font);
  const DWORD name_table = 0x656D616E;  // 'name', as GetFontData wants the tag
  DWORD size = GetFontData(dc, name_table, 0, nullptr, 0);
  std::string data;
  if (size != GDI_ERROR && size > 0 && size < (1u << 20)) {
    data.resize(size);
    if (GetFontData(dc, name_table, 0, data.data(), size) == GDI_ERROR) data.clear();
  }
  SelectObject(dc, old);
  // Names are stored as UTF-16 big-endian or as single bytes: look for both.
  return data.find("Wine") != std::string::npos ||
         data.find(std::string("\0W\0i\0n\0e", 8)) != std::string::npos;
}

// The room of a label within its parent: up to the nearest sibling to its right on its line
// (or the parent's right edge); a wrapped label's room downwards to the nearest sibling below
// that shares its columns (or the parent's bottom edge).
int RoomOf(TLabel* label, bool downwards) {
  const Rect me = label->Bounds();
  const Rect parent = label->Parent()->ClientRect();
  int limit = downwards ? parent.bottom : parent.right;
  for (TWinControl* other : label->Parent()->Children()) {
    if (other == label || !other->Visible()) continue;
    const Rect r = other->Bounds();
    if (downwards) {
      if (r.top > me.top && r.left < me.right && r.right > me.left) limit = std::min(limit, r.top);
    } else {
      if (r.left > me.left && r.top < me.bottom && r.bottom > me.top)
        limit = std::min(limit, r.left);
    }
  }
  return limit - (downwards ? me.top : me.left);
}

const FaceRule* RuleFor(const std::wstring& face) {
  for (const FaceRule& rule : kFaces)
    if (lstrcmpiW(rule.requested, face.c_str()) == 0) return &rule;
  return nullptr;
}

// Measures every label of the form, prints the measures and checks the faces and the fit. On a
// system with the real fonts every label fits; Wine's own stand-ins are drawn a little wider than
// the fonts the windows were designed with, and may miss by at most `wine_slack` pixels. A face
// drawn as another one is a set-up fault: the other face's width says nothing about the design.
void CheckFonts(TForm* form, int wine_slack) {
  int labels = 0;
  HDC dc = GetDC(nullptr);
  for (std::size_t i = 0; i < form->ComponentCount(); ++i) {
    auto* label = dynamic_cast<TLabel*>(form->Components(i));
    if (!label) continue;
    ++labels;
    const std::wstring name = label->Name();
    HFONT font = label->Font();
    const std::wstring requested = RequestedFace(font), resolved = ResolvedFace(dc, font);
    const bool wine_font = IsWinesOwnFont(dc, font);
    const bool wrapped = !(GetWindowLongW(label->WindowHandle(), GWL_STYLE) & SS_LEFTNOWORDWRAP);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r{0, 0, wrapped ? label->Width() : 0, 0};
    DrawTextW(dc, label->Caption().c_str(), -1, &r,
              DT_CALCRECT | DT_NOPREFIX | (wrapped ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    // Width (one line) or height (wrapped), in pixels; a wrapped text may not be wider than its
    // box either (one word too long for a line).
    const int room = RoomOf(label, wrapped);
    int need = wrapped ? r.bottom - r.top : r.right - r.left;
    if (wrapped && r.right - r.left > label->Width()) need = room + (r.right - r.left);
    std::printf("[ fonts    ] %ls.%ls: %ls -> %ls%s, needs %d px of %d (%s)%s\n",
                form->Name().c_str(), name.c_str(), requested.c_str(), resolved.c_str(),
                wine_font ? " (Wine's)" : "", need, room, wrapped ? "height" : "width",
                need > room ? " DOES NOT FIT" : "");
    const FaceRule* rule = RuleFor(requested);
    if (!rule) {
      ADD_FAILURE() << "no rule for the face " << testing::PrintToString(requested);
      continue;
    }
    EXPECT_NE(std::find(rule->accepted.begin(), rule->accepted.end(), resolved),
              rule->accepted.end())
        << name.c_str() << ": " << testing::PrintToString(requested) << " is drawn as "
        << testing::PrintToString(resolved);
    EXPECT_LE(need, room + (wine_font ? wine_slack : 0)) << name.c_str();
  }
  ReleaseDC(nullptr, dc);
  EXPECT_GT(labels, 0);
}

class FormFonts : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearStoredPlacement();
    SetScreenDpiOverride(96);
  }
  void TearDown() override {
    SetScreenDpiOverride(0);
    ClearStoredPlacement();
  }
};

TEST_F(FormFonts, MainWindowLabelsFitTheirRoom) {
  TMainForm* form = new TMainForm(Application);
  form->Handle();
  CheckFonts(form, 10);
  delete form;
}

TEST_F(FormFonts, AboutBoxLabelsFitTheirRoom) {
  TForm* main_form = new TForm(Application);
  main_form->FinishBuilding();
  TAboutBox* box = new TAboutBox(Application);
  box->Handle();
  CheckFonts(box, 10);
  delete box;
  delete main_form;
}

}  // namespace
}  // namespace reprisa
