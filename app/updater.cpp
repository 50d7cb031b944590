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

int RunUpdater() {
  fw::DeclareWindowClass<class DeviceDialog>();
  fw::DeclareWindowClass<class mainWindow>();
  if constexpr (HID::kDebugAids) fw::DeclareWindowClass<class ConsoleWindow>();
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
