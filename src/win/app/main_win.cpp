// Program entry: no arguments and no environment are read.
#include <windows.h>

#include "win/kit/application_win.h"
#include "win/kit/web_browser_win.h"
#include "core/locale_settings.h"
#include "core/texts.h"
#include "win/app/about_box_win.h"
#include "win/app/main_form_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace reprisa;
  SetCurrentLocaleSettings(ReadUserLocaleSettings());
  RequestNewestBrowserMode();  // before the main window makes its browser control
  int code = 0;
  {
    TApplication app;  // initialises OLE before any window exists
    try {
      app.Initialize();
      app.SetMainFormOnTaskBar(true);
      app.SetTitle(std::wstring(texts::kAppTitle));
      app.CreateForm(MainForm);
      app.CreateForm(AboutBox);
      code = app.Run();
    } catch (...) {
      app.HandleException(&app);
    }
  }
  return code;
}
