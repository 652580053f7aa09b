// The design of the two windows, for both builds: every control's name, rectangle in its parent
// (pixels at 96 dpi), place in the tab order, text and kind, the fonts' design heights and the
// colours. The
// Windows build scales these rectangles to the screen (core/layout.h); the Linux build takes them
// as its natural sizes and lets GTK scale.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/texts.h"

namespace reprisa::design {

// A button's stock kind: its glyph, and for Ok and Cancel its role as the window's default or
// cancel button (Enter and Escape).
enum class ButtonKind { Plain, Ok, Cancel, Retry };

struct Control {
  // The control's name (the Linux build's widget name, which its style sheet uses).
  std::wstring_view name;
  int left = 0, top = 0, width = 0, height = 0;
  int tab_order = 0;  // among the controls of its parent
  std::wstring_view text;  // the caption, or the initial text of a field
  bool read_only = false;
  ButtonKind kind = ButtonKind::Plain;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
};

// The rows of the tables below, by what they describe.
constexpr Control Box(std::wstring_view name, int left, int top, int width, int height,
                      int tab_order = 0) {
  return {name, left, top, width, height, tab_order, {}, false, ButtonKind::Plain};
}
// A one-line label: as wide as its text.
constexpr Control Label(std::wstring_view name, int left, int top, std::wstring_view text) {
  return {name, left, top, 0, 0, 0, text, false, ButtonKind::Plain};
}
// A label whose text wraps at its width.
constexpr Control WrappingLabel(std::wstring_view name, int left, int top, int width, int height,
                                std::wstring_view text) {
  return {name, left, top, width, height, 0, text, false, ButtonKind::Plain};
}
constexpr Control Field(std::wstring_view name, int left, int top, int width, int height,
                        int tab_order, std::wstring_view text, bool read_only = false) {
  return {name, left, top, width, height, tab_order, text, read_only, ButtonKind::Plain};
}
constexpr Control Button(std::wstring_view name, int left, int top, int width, int height,
                         int tab_order, std::wstring_view text, ButtonKind kind) {
  return {name, left, top, width, height, tab_order, text, false, kind};
}

// A font: its face and its design height (negative: character height in pixels at 96 dpi).
struct Font {
  std::wstring_view face;
  int height = 0;
  bool bold = false;
};

struct Color {
  std::uint8_t red = 0, green = 0, blue = 0;
  // As the Windows colour value 0x00BBGGRR.
  constexpr std::uint32_t Value() const { return red | (green << 8) | (blue << 16); }
};

// The main window: the top panel holds the address row and the interval row, with the button
// panel at its right-hand edge; the browser fills the client area below.
struct MainWindow {
  std::wstring_view name;
  int client_width = 0, client_height = 0;
  Font font;
  Color read_only_field;  // the current-interval and countdown fields' background
  Control top_panel, browser, button_panel;
  // In the button panel.
  Control open_address_button, restart_countdown_button;
  // In the top panel. Labels have no size of their own: they are as wide as their text.
  Control address_edit, interval_label, interval_edit, apply_interval_button,
      current_interval_edit, countdown_label, countdown_edit;
};

inline constexpr MainWindow kMainWindow{
    .name = L"MainForm",
    .client_width = 846,
    .client_height = 554,
    .font = {L"Tahoma", -11, false},
    .read_only_field = {192, 192, 192},
    .top_panel = Box(L"Panel1", 0, 0, 846, 65, 0),
    .browser = Box(L"WebBrowser1", 0, 65, 846, 489, 1),
    .button_panel = Box(L"Panel2", 672, 0, 174, 65, 1),
    .open_address_button =
        Button(L"GotoWebsiteBtn", 8, 3, 153, 25, 0, texts::kGotoWebsite, ButtonKind::Ok),
    .restart_countdown_button =
        Button(L"BitBtn3", 8, 34, 153, 25, 1, texts::kRestartCountdown, ButtonKind::Cancel),
    .address_edit = Field(L"urled", 8, 8, 658, 21, 0, texts::kDefaultAddress),
    .interval_label = Label(L"Label1", 8, 35, texts::kIntervalLabel),
    .interval_edit = Field(L"Edit1", 226, 35, 71, 21, 2, texts::kInitialInterval),
    .apply_interval_button =
        Button(L"BitBtn2", 303, 34, 122, 25, 3, texts::kApplyInterval, ButtonKind::Retry),
    .current_interval_edit = Field(L"Edit2", 431, 35, 71, 21, 4, texts::kInitialInterval, true),
    .countdown_label = Label(L"Label2", 508, 35, texts::kCountdownLabel),
    .countdown_edit = Field(L"Edit3", 571, 35, 71, 21, 5, texts::kInitialInterval, true),
};

// The About dialog: a coloured panel with the logo and the texts, the OK button below it.
struct AboutDialog {
  std::wstring_view name;
  int client_width = 0, client_height = 0;
  Font font;
  Color panel_color;
  Font product_name_font, quality_font;
  Control panel, ok_button;
  // In the panel. Labels without a size are as wide as their text; the others wrap.
  Control logo, product_name, copyright, comments, quality, slogan, news, web_site_button;
};

inline constexpr AboutDialog kAboutDialog{
    .name = L"AboutBox",
    .client_width = 664,
    .client_height = 453,
    .font = {L"MS Sans Serif", -11, false},
    .panel_color = {240, 202, 166},
    .product_name_font = {L"Arial Narrow", -24, true},
    .quality_font = {L"MS Sans Serif", -11, true},
    .panel = Box(L"Panel1", 8, 8, 649, 385, 0),
    .ok_button = Button(L"BitBtn1", 241, 404, 181, 37, 1, texts::kButtonOk, ButtonKind::Ok),
    .logo = Box(L"ProgramIcon", 16, 40, 306, 322),
    .product_name = Label(L"ProductName", 8, 8, texts::kProductName),
    // The year is put in when the dialog is made.
    .copyright = Label(L"Copyright", 336, 40, texts::kCopyright),
    .comments = WrappingLabel(L"Comments", 336, 56, 257, 33, texts::kComments),
    .quality = Label(L"Label1", 336, 96, texts::kQuality),
    .slogan = Label(L"Label2", 336, 112, texts::kSlogan),
    .news = WrappingLabel(L"Label3", 336, 131, 238, 121, texts::kNews),
    .web_site_button = Button(L"BitBtnXP1", 336, 240, 169, 25, 0, texts::kMakerWebSiteCaption,
                              ButtonKind::Plain),
};

}  // namespace reprisa::design
