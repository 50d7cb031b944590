// The front end with real windows, drawn by Qt Widgets: each window of the framework's model
// becomes a top-level widget at the model's position and size, each control a widget at its
// rectangle, the menu bar a menu bar in every window that shows one, and each message box an
// application-modal box. The user's actions go to the program through PostInput only, never
// by calling a handler from a Qt signal, so handlers still run one at a time from the event
// loop, and Yield can let Qt run without starting one.
//
// This header includes no Qt header: the program picks its front end without seeing Qt.
#pragma once

#include <memory>
#include <optional>

#include "ui/front_end.h"

class QWidget;

namespace fw {

class QtFrontEnd final : public FrontEnd {
 public:
  // How long the event loop may sleep before Qt runs again. Qt offers no descriptor that the
  // framework's run loop could watch (a thread of Qt's own reads the display connection and
  // wakes only Qt's own dispatcher), so Qt is polled: often while the user or the program is
  // at work, so that a click
  // or a repaint is never noticeably late, and seldom once nothing has happened for a while,
  // so that an idle program costs next to nothing. The first input after a quiet spell is at
  // most kIdlePollSeconds late.
  static constexpr double kBusyPollSeconds = 0.01;
  static constexpr double kIdlePollSeconds = 0.05;
  // About a second of busy polls without anything happening.
  static constexpr int kQuietPollsBeforeIdle = 100;

  // Makes Qt's application object from main's arguments (Qt takes its own options out of
  // them, so argc is changed and both must outlive the front end), unless one exists already,
  // as in tests. Installs itself as the front end while it lives.
  QtFrontEnd(int& argc, char** argv);
  ~QtFrontEnd() override;
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;

  // What is shown, for tests: a window's top-level widget (with the menu bar, if the window
  // holds one), the widget of its content (exactly Width x Height) and a control's widget;
  // nullptr when it is not shown.
  QWidget* FrameOf(const Window& window) const;
  QWidget* ContentOf(const Window& window) const;
  QWidget* WidgetOf(const Control& control) const;

  void WindowOpened(Window& window) override;
  void WindowModal(Window& window) override;
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
  void Yield() override;
  std::optional<double> MaxWaitSeconds() override;

 private:
  struct State;

  // Brings the changed controls up to date, shows the windows waiting to be shown and lets Qt
  // handle what is pending (input, painting, deferred deletions).
  void RunQt();

  std::unique_ptr<State> state_;
  FrontEnd* previous_;
};

}  // namespace fw
