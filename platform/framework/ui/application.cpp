#include "ui/application.h"

#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "alerts.h"
#include "background_task.h"
#include "system_log.h"
#include "ui/event_loop.h"
#include "ui/front_end.h"
#include "ui/quit_signals.h"
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

bool& Held() {
  static bool held = false;
  return held;
}

// A signal that asks the program to end, as it reaches the event loop.
void EndSignalArrived(int number) {
  if (!QuitHeld()) {
    Quit(0);
    return;
  }
  const std::string line = SignalName(number) + " noted: quitting is held until the work in progress has ended.";
  std::fprintf(stderr, "%s\n", line.c_str());
  System::DebugLog(line);
  CurrentFrontEnd().EndSignalNoted();
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

void HoldQuit(bool held) {
  Held() = held;
  const Application* app = TheApplication();
  if (app == nullptr || !app->MenuBar()) return;
  if (const Ref<MenuItem> quit = FindQuitItem(*app->MenuBar())) quit->SetEnabled(!held);
}

bool QuitHeld() { return Held(); }

int RunApplication() {
  QuitCode().reset();
  Held() = false;
  const FrontEndServices services;
  const QuitSignals signals(&EndSignalArrived);
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
