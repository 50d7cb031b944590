#include "updater.h"

#include "app.h"
#include "build_settings.h"
#include "console_window.h"
#include "device_dialog.h"
#include "hid.h"
#include "main_window.h"
#include "menu_bar1.h"
#include "resources.h"
#include "ui/application.h"
#include "ui/window.h"

namespace {

// The windows the program may show. The order gives the terminal's keys: a window declared
// earlier picks its buttons' keys first. The console comes first, so that the debug program,
// driven from it, gives its buttons the first letters of their captions.
void DeclareWindows() {
  std::vector<fw::WindowClassDeclaration> windows;
  if constexpr (HID::kDebugAids) windows.push_back(ConsoleWindow::Declaration());
  windows.push_back(DeviceDialog::Declaration());
  windows.push_back(mainWindow::Declaration());
  fw::DeclareWindowClasses(std::move(windows));
}

}  // namespace

int RunUpdater() {
  DeclareWindows();
  {
    const fw::Ref<class App> app = fw::MakeRef<class App>();
    app->SetMenuBar(MenuBar1());
    fw::SetApplication(app);
  }
  const int exitCode = fw::RunApplication();
  ReleaseMenuBar1();
  HID::ReleaseGlobals();
  ReleaseTrovak();
  fw::ReleaseApplication();
  return exitCode;
}
