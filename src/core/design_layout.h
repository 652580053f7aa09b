// The design of the two windows, for both builds: every control's name, rectangle in its parent
// (pixels at 96 dpi), and place in the tab order, the fonts' design heights and the colours. The
// Windows build scales these rectangles to the screen (core/layout.h); the Linux build takes them
// as its natural sizes and lets GTK scale.
#pragma once

#include <cstdint>
#include <string_view>

namespace reprisa::design {

struct Control {
  // The control's name (the Linux build's widget name, which its style sheet uses).
  std::wstring_view name;
  int left = 0, top = 0, width = 0, height = 0;
  int tab_order = 0;  // among the controls of its parent
  int right() const { return left + width; }
  int bottom() const { return top + height; }
};

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
    .font = {L"Tahoma", -11},
    .read_only_field = {192, 192, 192},
    .top_panel = {L"Panel1", 0, 0, 846, 65, 0},
    .browser = {L"WebBrowser1", 0, 65, 846, 489, 1},
    .button_panel = {L"Panel2", 672, 0, 174, 65, 1},
    .open_address_button = {L"GotoWebsiteBtn", 8, 3, 153, 25, 0},
    .restart_countdown_button = {L"BitBtn3", 8, 34, 153, 25, 1},
    .address_edit = {L"urled", 8, 8, 658, 21, 0},
    .interval_label = {L"Label1", 8, 35},
    .interval_edit = {L"Edit1", 226, 35, 71, 21, 2},
    .apply_interval_button = {L"BitBtn2", 303, 34, 122, 25, 3},
    .current_interval_edit = {L"Edit2", 431, 35, 71, 21, 4},
    .countdown_label = {L"Label2", 508, 35},
    .countdown_edit = {L"Edit3", 571, 35, 71, 21, 5},
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
    .font = {L"MS Sans Serif", -11},
    .panel_color = {240, 202, 166},
    .product_name_font = {L"Arial Narrow", -24, true},
    .quality_font = {L"MS Sans Serif", -11, true},
    .panel = {L"Panel1", 8, 8, 649, 385, 0},
    .ok_button = {L"BitBtn1", 241, 404, 181, 37, 1},
    .logo = {L"ProgramIcon", 16, 40, 306, 322},
    .product_name = {L"ProductName", 8, 8},
    .copyright = {L"Copyright", 336, 40},
    .comments = {L"Comments", 336, 56, 257, 33},
    .quality = {L"Label1", 336, 96},
    .slogan = {L"Label2", 336, 112},
    .news = {L"Label3", 336, 131, 238, 121},
    .web_site_button = {L"BitBtnXP1", 336, 240, 169, 25, 0},
};

}  // namespace reprisa::design
