#include "updater.h"

#include "app.h"
#include "hid.h"
#include "menu_bar1.h"
#include "resources.h"
#include "ui/application.h"

int RunUpdater() {
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
