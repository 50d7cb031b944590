// A front end for tests: it shows nothing, records what the program showed, and lets the
// test act as the user would (press a button, choose a menu item, type, dismiss a message),
// every action delivered from the event loop like a real one. Use it with a VirtualClock,
// so that the program's timers and time-outs cost the test no real time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"
#include "ui/front_end.h"
#include "ui/window.h"

namespace fw {

class ScriptedFrontEnd final : public FrontEnd {
 public:
  // The exit code the program gets when the script stalls (see onIdle).
  static constexpr int kStalledExitCode = 99;

  // Installs itself as the front end while it lives.
  ScriptedFrontEnd();
  ~ScriptedFrontEnd() override;
  ScriptedFrontEnd(const ScriptedFrontEnd&) = delete;
  ScriptedFrontEnd& operator=(const ScriptedFrontEnd&) = delete;

  // Every message box's text, in order.
  std::vector<std::string> messages;
  // What happened, in order: "open <class>", "modal <class>", "close <class>", "message <text>",
  // "beep", "end signal noted".
  std::vector<std::string> log;
  // Each immediate redraw: "<control> <text or value>".
  std::vector<std::string> redraws;
  bool stalled = false;

  // Answers a message box when it comes up; true dismisses it at once (the default without a
  // handler), false leaves it up until DismissMessage.
  std::function<bool(const std::string& text)> onMessage;
  // The program waits for the user: nothing is due and no timer runs. The script acts here;
  // a script that does nothing for many idle passes in a row stalls the program, which then
  // quits with kStalledExitCode instead of hanging the test.
  std::function<void()> onIdle;
  // Every pass of the event loop, before it waits.
  std::function<void()> onUpdate;

  // The user's actions on the open window of a class.
  void Press(std::string_view windowClass, std::string_view button);
  void Type(std::string_view windowClass, std::string_view field, std::string text);
  void CloseWindow(std::string_view windowClass);
  void ChooseMenuItem(std::string_view name);
  void PressShortcut(std::string_view display);  // such as "Ctrl+Q"
  bool MessageShowing() const { return !boxes_.empty(); }
  // Dismisses the message box on top.
  void DismissMessage();

  // What the program shows: nullptr when there is no such open window or control.
  Window* FindWindow(std::string_view windowClass) const;
  Control* FindControl(std::string_view windowClass, std::string_view control) const;
  // The text of a static text or edit field, the caption of a button; empty otherwise.
  std::string TextOf(std::string_view windowClass, std::string_view control) const;
  bool EnabledOf(std::string_view windowClass, std::string_view control) const;
  int32_t ValueOf(std::string_view windowClass, std::string_view control) const;

  void WindowOpened(Window& window) override;
  void WindowModal(Window& window) override;
  void WindowClosed(Window& window) override;
  void WindowChanged(Window&) override {}
  void ControlChanged(Control&) override {}
  void RedrawNow(Control& control) override;
  void ShowMessage(MessageBox& box) override;
  void HideMessage(MessageBox& box) override;
  void Beep() override;
  void MenuBarInstalled(MenuBar& menuBar) override;
  void Update() override;
  void Idle() override;
  void EndSignalNoted() override;

 private:
  void Acted() { idlePassesWithoutAction_ = 0; }

  FrontEnd* previous_;
  MenuBar* menuBar_ = nullptr;
  std::vector<MessageBox*> boxes_;  // the ones up, the newest last
  int idlePassesWithoutAction_ = 0;
};

}  // namespace fw
