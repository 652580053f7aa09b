// Program entry: no arguments and no environment are read.
#include <windows.h>

#include <string>
#include <string_view>

#include "core/event_log.h"
#include "core/utf8.h"
#include "win/kit/application_win.h"
#include "win/kit/log_file_win.h"
#include "win/kit/startup_trace_win.h"
#include "win/web/web_browser_win.h"
#include "core/locale_settings.h"
#include "core/texts.h"
#include "win/app/about_box_win.h"
#include "win/app/main_form_win.h"

namespace {

// What the program did by itself: for a debugger or a viewer of the debug output, and in the
// user's log file, %LOCALAPPDATA%\reprisa\reprisa.log, made with its first line (its path is
// looked up then, not at start). A log that cannot be written costs that line and nothing else.
void WriteEventLine(std::string_view line) noexcept {
  try {
    OutputDebugStringW((L"Reprisa: " + reprisa::WidenUtf8(line) + L"\n").c_str());
  } catch (...) {
    // No memory for the line: it is lost.
  }
  try {
    static reprisa::LogFile file(reprisa::UserDataFile(L"reprisa.log"));
    file.Append(line);
  } catch (...) {
    // No memory for the path: the line is lost, and the next one tries again.
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace reprisa;
  StartupMark("wWinMain entered");
  SetEventSink(&WriteEventLine);
  SetCurrentLocaleSettings(ReadUserLocaleSettings());
  StartupMark("locale settings read");
  RequestNewestBrowserMode();  // before the main window makes its browser control
  StartupMark("browser mode key");
  int code = 0;
  {
    TApplication app;  // initialises OLE before any window exists
    StartupMark("OLE initialised");
    try {
      app.Initialize();
      StartupMark("COM initialised");
      app.SetMainFormOnTaskBar(true);
      app.SetTitle(std::wstring(texts::kAppTitle));
      app.CreateForm(MainForm);
      app.CreateForm(AboutBox);
      StartupMark("About box built");
      code = app.Run();
    } catch (...) {
      app.HandleException(&app);
    }
  }
  WriteStartupMarks();
  return code;
}
