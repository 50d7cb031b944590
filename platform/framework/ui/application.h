// The application object and the program's life: start-up raises the application's Open
// event, the event loop runs until a quit is requested, then the windows close.
#pragma once

#include "object.h"
#include "ui/menu.h"

namespace fw {

class Application : public Object {
 public:
  const Ref<fw::MenuBar>& MenuBar() const { return menuBar_; }
  // Set before the program runs; the front end shows it from the start.
  void SetMenuBar(Ref<fw::MenuBar> menuBar);

  // Raised once, when the event loop starts.
  virtual void Event_Open() {}

 protected:
  ~Application() override = default;

 private:
  Ref<fw::MenuBar> menuBar_;
};

// The application object, or nullptr before SetApplication and after ReleaseApplication.
Application* TheApplication();
void SetApplication(Ref<Application> app);
void ReleaseApplication();

// Asks the program to end with exitCode and returns at once: the handler that asked goes on
// to its end, then the event loop stops. The first request's code counts.
void Quit(int exitCode = 0);
bool QuitRequested();

// While quitting is held the user cannot end the program, for work that must not be cut
// short (a device half written is worse than a wait): the menu bar's quit item is disabled,
// and SIGINT, SIGTERM, SIGHUP and SIGQUIT are only noted (a line on stderr and in the debug
// log; the front end is told, see FrontEnd::EndSignalNoted). Quit still ends the program, so
// the work itself ends it once it is done. Not held, those signals quit with 0 as the quit
// item does.
void HoldQuit(bool held);
bool QuitHeld();

// Raises the application's Open event, runs the event loop until a quit is requested, then
// closes every window. The signals to end reach the program through the loop meanwhile.
// Returns the exit code. The caller then releases what it holds and the application object.
int RunApplication();

}  // namespace fw
