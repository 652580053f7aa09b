// Entry point of the in-process GTK tests: GTK is initialised once, on the screen the wrapper
// script started, before any test runs.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <clocale>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::setlocale(LC_ALL, "C.UTF-8");
  if (!gtk_init_check(nullptr, nullptr)) {
    fprintf(stderr, "gtk_tests: no screen (DISPLAY) to run on\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
