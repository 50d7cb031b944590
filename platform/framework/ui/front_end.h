// What draws the framework's windows and takes the user's input. The framework's model
// (windows, controls, menus, message boxes) knows no toolkit; a front end shows it: real
// windows where there is a display, the terminal where there is none, a script in tests.
//
// The framework tells the front end what changed; the front end draws when it runs (Update,
// Yield) or at once when asked (RedrawNow). It hands the user's actions back through
// PostInput (event_loop.h), never by calling the program directly, so that the program's
// handlers run one at a time from the event loop.
#pragma once

#include <optional>
#include <string>

namespace fw {

class Control;
class MenuBar;
class MenuItem;
class Window;

// One modal message; the front end calls Dismiss when the user has closed it.
class MessageBox {
 public:
  explicit MessageBox(std::string text) : text_(std::move(text)) {}
  const std::string& Text() const { return text_; }
  void Dismiss() { dismissed_ = true; }
  bool Dismissed() const { return dismissed_; }

 private:
  std::string text_;
  bool dismissed_ = false;
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // A window was built (its controls exist and their Open events ran) and, when visible, is
  // to be shown; modal while ShowModal runs. Closed: it is gone for good.
  virtual void WindowOpened(Window& window) = 0;
  virtual void WindowModal(Window& window) = 0;
  virtual void WindowClosed(Window& window) = 0;
  // Title, position or size changed.
  virtual void WindowChanged(Window& window) = 0;
  // A control's text, value, picture or state changed: draw it when convenient.
  virtual void ControlChanged(Control& control) = 0;
  // Refresh(True): draw the control now, before the call returns.
  virtual void RedrawNow(Control& control) = 0;

  // The box stays up until Dismiss is called or HideMessage comes (the program quit while it
  // was up). The framework runs its event loop meanwhile.
  virtual void ShowMessage(MessageBox& box) = 0;
  virtual void HideMessage(MessageBox& box) = 0;
  virtual void Beep() = 0;

  virtual void MenuBarInstalled(MenuBar& menuBar) = 0;

  // Once per pass of the event loop: draw what changed, collect input.
  virtual void Update() = 0;

  // The hooks below matter only to some front ends; by default they do nothing.
  // From the cooperative yield inside long handlers: keep the windows drawn and responsive;
  // input collected here is delivered once the handler has returned.
  virtual void Yield() {}
  // The longest the event loop may sleep before the front end must run again; nullopt (the
  // default) when the front end needs no polling, as when it wakes the loop itself through a
  // descriptor in the run loop.
  virtual std::optional<double> MaxWaitSeconds() { return std::nullopt; }
  // The event loop has nothing to do and no timer to wait for (tests act here).
  virtual void Idle() {}
  // An item of the installed menu bar was enabled or disabled.
  virtual void MenuItemChanged(MenuItem&) {}
  // A signal asked the program to end while quitting was held: the work goes on to its end,
  // then the program ends. Whoever sent it waits for nothing more from the program.
  virtual void EndSignalNoted() {}
};

// The front end the framework talks to; a silent one until the program installs its own.
FrontEnd& CurrentFrontEnd();
// Returns the one installed before; nullptr restores the silent one.
FrontEnd* SetFrontEnd(FrontEnd* frontEnd);

}  // namespace fw
