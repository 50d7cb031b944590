#include "ui/application.h"

#include <optional>
#include <utility>

#include "alerts.h"
#include "background_task.h"
#include "ui/event_loop.h"
#include "ui/front_end.h"
#include "ui/window.h"

namespace fw {
namespace {

Ref<Application>& Current() {
  static Ref<Application> app;
  return app;
}

std::optional<int>& QuitCode() {
  static std::optional<int> code;
  return code;
}

// A message box is modal: the program's handler waits in a nested event loop, in which
// timers and device reports go on, until the user has dismissed it.
void ShowMessageBox(const std::string& text) {
  MessageBox box(text);
  FrontEnd& frontEnd = CurrentFrontEnd();
  const ModalScope scope(nullptr);
  frontEnd.ShowMessage(box);
  RunEventLoopUntil([&box] { return box.Dismissed(); });
  if (!box.Dismissed()) frontEnd.HideMessage(box);
}

// Installs what connects the framework's services to the front end for as long as the
// program runs, and puts back what was there before.
class FrontEndServices {
 public:
  FrontEndServices()
      : message_(SetMessagePresenter(&ShowMessageBox)),
        beep_(SetBeepPresenter([] { CurrentFrontEnd().Beep(); })),
        yield_(SetBackgroundHook([] { CurrentFrontEnd().Yield(); })) {}
  ~FrontEndServices() {
    SetMessagePresenter(std::move(message_));
    SetBeepPresenter(std::move(beep_));
    SetBackgroundHook(std::move(yield_));
  }
  FrontEndServices(const FrontEndServices&) = delete;
  FrontEndServices& operator=(const FrontEndServices&) = delete;

 private:
  MessagePresenter message_;
  BeepPresenter beep_;
  BackgroundHook yield_;
};

}  // namespace

void Application::SetMenuBar(Ref<fw::MenuBar> menuBar) { menuBar_ = std::move(menuBar); }

Application* TheApplication() { return Current().get(); }

void SetApplication(Ref<Application> app) { Current() = std::move(app); }

void ReleaseApplication() {
  // Emptied before the object goes, so that its destructor finds no application.
  Ref<Application> released = std::move(Current());
  Current() = nullptr;
}

void Quit(int exitCode) {
  if (!QuitCode()) QuitCode() = exitCode;
}

bool QuitRequested() { return QuitCode().has_value(); }

int RunApplication() {
  QuitCode().reset();
  const FrontEndServices services;
  if (Ref<Application> app = Current()) {
    if (app->MenuBar()) CurrentFrontEnd().MenuBarInstalled(*app->MenuBar());
    app->Event_Open();
  }
  RunEventLoopUntil([] { return false; });
  CloseAllWindows();
  ResetEventLoop();
  CurrentFrontEnd().Update();
  return QuitCode().value_or(0);
}

}  // namespace fw
