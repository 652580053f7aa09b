// Entry point of the in-process GTK tests: GTK is initialised once, on the screen the wrapper
// script started, before any test runs, with what the tests depend on pinned: the C locale, the
// fonts (tests/gtk/fonts.conf; the layout's exact widths follow from them) and XDG folders of
// their own in a scratch folder (testing_gtk::UserFolders()).
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <clocale>
#include <cstdlib>

#include "gtk_test_support.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::setlocale(LC_ALL, "C.UTF-8");
  reprisa::testing_gtk::ScratchDir user;
  reprisa::testing_gtk::UserFolders() = user.path();
  setenv("XDG_CONFIG_HOME", (user / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (user / "data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (user / "cache").c_str(), 1);
  setenv("FONTCONFIG_FILE", REPRISA_SOURCE_DIR "/tests/gtk/fonts.conf", 1);
  if (!gtk_init_check(nullptr, nullptr)) {
    fprintf(stderr, "gtk_tests: no screen (DISPLAY) to run on\n");
    return 1;
  }
  g_object_set(gtk_settings_get_default(), "gtk-font-name", "DejaVu Sans 10", nullptr);
  return RUN_ALL_TESTS();
}
