// The front end for a terminal, used where there is no display. Windows show as their title
// and texts, printed as they change; the progress bar is redrawn in place on a terminal and
// printed as sparse lines otherwise; a message box is printed verbatim. No byte that a
// terminal would act on is printed: it shows as an escape ("\x1b"), and so does a line end
// anywhere but in a message box's text.
//
// The user types a line: the key shown next to an enabled button (or its caption) presses
// it, the quit item's key quits, "<field>=<text>" fills an edit field. A message box waits
// for Enter when the input is a terminal and is taken as read otherwise, so that a script can
// drive the whole program through standard input. It is taken as read on a terminal too once
// no one is there to read it: the terminal's input has ended or hung up (the terminal was
// closed), or a signal asked the program to end while it held quitting. A script's line waits
// until what the line before it did has reached the program and a button of that key or
// caption is enabled, so a script can type ahead of the windows; a line that no window of the
// program can ever take, or that nothing takes while the program rests waiting for the user,
// is reported on the error stream and skipped. Once the input has ended (a script's, or a
// terminal's) and its every line has been carried out, a window that waits for the user is
// cancelled, and so is a modal window that put up a box while it waited, even with lines
// still waiting (see CancelAfterTheScript): the program ends instead of waiting for ever.
//
// Where the program has declared its windows (DeclareWindowClasses), each button has one key
// for the whole run, the same in the keys line and for a line typed ahead of its window.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "object.h"
#include "os/run_loop.h"
#include "ui/front_end.h"

namespace fw {

class PushButton;

class TerminalFrontEnd final : public FrontEnd {
 public:
  // input: the descriptor the user types on; output: where the windows are shown; errors:
  // where a script's lines that nothing can take are reported. Installs itself as the front
  // end while it lives.
  TerminalFrontEnd(int input, std::FILE* output, std::FILE* errors = stderr);
  ~TerminalFrontEnd() override;
  TerminalFrontEnd(const TerminalFrontEnd&) = delete;
  TerminalFrontEnd& operator=(const TerminalFrontEnd&) = delete;

  void WindowOpened(Window& window) override;
  void WindowModal(Window&) override {}
  void WindowClosed(Window& window) override;
  void WindowChanged(Window& window) override;
  void ControlChanged(Control& control) override;
  void RedrawNow(Control& control) override;
  void ShowMessage(MessageBox& box) override;
  void HideMessage(MessageBox& box) override;
  void Beep() override;
  void MenuBarInstalled(MenuBar& menuBar) override;
  void MenuItemChanged(MenuItem& item) override;
  void Update() override;
  void EndSignalNoted() override;

  // Takes what the user typed; called when the input descriptor is readable (revents: what
  // poll saw on it).
  void ReadInput(short revents);

 private:
  struct Drawn {
    std::string text;
    bool enabled = true;
    int32_t tenth = -1;  // progress bars: the last tenth printed
  };

  void Print(const std::string& line);
  void Draw(Control& control);
  void DrawProgress(const class ProgressBar& bar);
  void PrintKeys(const Window& window);
  std::string KeyFor(const PushButton& button);
  void TakeLine(std::string line);
  void RetryPendingLines();
  // Presses the button or fills the field the line names; false when nothing matches.
  bool Perform(const std::string& line);
  bool PressByKey(const std::string& key);
  bool FillField(const std::string& line);
  // Whether a window of the program may ever take the line: a key, caption or field of a
  // declared window class or an open window, or the quit item's key.
  bool CanEverMatch(const std::string& line);
  void ReportNotUnderstood(const std::string& line);
  void CancelAfterTheScript();
  bool BoxesTakenAsRead() const;
  void TakeBoxesAsRead();

  int input_;
  std::FILE* output_;
  std::FILE* errors_;
  bool outputIsTerminal_;
  bool inputIsTerminal_;
  FrontEnd* previous_;
  CFRunLoopSourceRef inputSource_ = nullptr;
  std::string pendingInput_;
  std::vector<std::string> waitingLines_;  // typed ahead by a script, for buttons to come
  bool inputEnded_ = false;
  bool endSignalNoted_ = false;
  bool cancelledAfterTheScript_ = false;
  // The modal window that was up when a box was taken as read: it asked for the user.
  Window* askingWindow_ = nullptr;
  MenuBar* menuBar_ = nullptr;
  std::vector<MessageBox*> boxes_;
  std::set<Control*> dirty_;
  std::map<const Control*, Drawn> drawn_;
  std::map<const Control*, std::string> keys_;
  std::map<const Window*, std::string> titles_;
  bool progressLineOpen_ = false;
};

}  // namespace fw
