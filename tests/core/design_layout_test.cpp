// The design table's own consistency: both builds read it, the Linux build turning the gaps
// between rectangles into margins and spacings, so a rectangle moved alone would break one build
// and not the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/design_layout.h"

namespace reprisa::design {
namespace {

std::string Name(const Control& c) { return std::string(c.name.begin(), c.name.end()); }

TEST(DesignLayout, ControlsLieInsideTheirParents) {
  const MainWindow& m = kMainWindow;
  const AboutDialog& a = kAboutDialog;
  struct {
    const Control& control;
    int width, height;  // the parent's
  } cases[] = {
      {m.top_panel, m.client_width, m.client_height},
      {m.browser, m.client_width, m.client_height},
      {m.button_panel, m.top_panel.width, m.top_panel.height},
      {m.open_address_button, m.button_panel.width, m.button_panel.height},
      {m.restart_countdown_button, m.button_panel.width, m.button_panel.height},
      {m.address_edit, m.button_panel.left, m.top_panel.height},
      {m.countdown_edit, m.button_panel.left, m.top_panel.height},
      {a.panel, a.client_width, a.client_height},
      {a.ok_button, a.client_width, a.client_height},
      {a.logo, a.panel.width, a.panel.height},
      {a.news, a.panel.width, a.panel.height},
      {a.web_site_button, a.panel.width, a.panel.height},
  };
  for (const auto& c : cases) {
    EXPECT_GE(c.control.left, 0) << Name(c.control);
    EXPECT_GE(c.control.top, 0) << Name(c.control);
    EXPECT_LE(c.control.right(), c.width) << Name(c.control);
    EXPECT_LE(c.control.bottom(), c.height) << Name(c.control);
  }
  // The browser fills the client area below the top panel.
  EXPECT_EQ(m.browser.top, m.top_panel.bottom());
  EXPECT_EQ(m.browser.bottom(), m.client_height);
  // The button panel is the top panel's right-hand column.
  EXPECT_EQ(m.button_panel.right(), m.top_panel.width);
}

TEST(DesignLayout, TheIntervalRowIsEvenlySpacedWithRoomForItsLabels) {
  const MainWindow& m = kMainWindow;
  const Control* row[] = {&m.interval_edit, &m.apply_interval_button, &m.current_interval_edit};
  const int spacing = row[1]->left - row[0]->right();
  EXPECT_GT(spacing, 0);
  EXPECT_EQ(row[2]->left - row[1]->right(), spacing);
  // Each label's room runs from its left edge to the spacing before its field.
  EXPECT_GT(m.interval_edit.left - spacing, m.interval_label.left);
  EXPECT_EQ(m.countdown_label.left - m.current_interval_edit.right(), spacing);
  EXPECT_GT(m.countdown_edit.left - spacing, m.countdown_label.left);
  // The fields lie within the buttons' height (the Linux build centres them on it).
  EXPECT_GE(m.interval_edit.top, m.apply_interval_button.top);
  EXPECT_LE(m.interval_edit.bottom(), m.apply_interval_button.bottom());
}

TEST(DesignLayout, TabOrdersRunFromZeroWithinEachParent) {
  const MainWindow& m = kMainWindow;
  const std::vector<std::vector<const Control*>> parents = {
      {&m.top_panel, &m.browser},
      {&m.open_address_button, &m.restart_countdown_button},
      {&m.address_edit, &m.button_panel, &m.interval_edit, &m.apply_interval_button,
       &m.current_interval_edit, &m.countdown_edit},
      {&kAboutDialog.panel, &kAboutDialog.ok_button},
  };
  for (const auto& children : parents) {
    std::vector<int> orders;
    for (const Control* c : children) orders.push_back(c->tab_order);
    std::sort(orders.begin(), orders.end());
    for (std::size_t i = 0; i < orders.size(); ++i)
      EXPECT_EQ(orders[i], static_cast<int>(i)) << Name(*children[i]);
  }
}

TEST(DesignLayout, ColoursAreTheirWindowsValues) {
  EXPECT_EQ(kAboutDialog.panel_color.Value(), 10930928u);  // the About panel's 0x00A6CAF0
  EXPECT_EQ(kMainWindow.read_only_field.Value(), 0xC0C0C0u);
}

}  // namespace
}  // namespace reprisa::design
