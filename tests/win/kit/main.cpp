// Entry point of the Wine-run test suite: one application object for the whole run, as in the
// program itself (OLE and COM initialised on this thread, title "Reprisa").
#include <gtest/gtest.h>

#include "win/kit/application_win.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  reprisa::TApplication app;
  app.Initialize();
  app.SetMainFormOnTaskBar(true);
  app.SetTitle(L"Reprisa");
  return RUN_ALL_TESTS();
}
