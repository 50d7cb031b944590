// One window of the model on the screen: a top-level widget that holds the menu bar, when Qt
// puts it inside the window, above the content; the content is exactly the model's Width x
// Height and its top-left corner stands at the model's Left and Top. The controls' widgets lie
// in the content at their rectangles.
//
// What the user does to the window goes to the model as queued input: a resize through
// Window::SetSize, which moves and stretches the controls by their edge locks (the widgets
// follow when the model says it changed), the close box, Enter for the default button and
// Escape for the cancel button.
#pragma once

#include <QtCore/QPointer>
#include <QtCore/QRect>

#include <map>

#include "ui/menu.h"
#include "ui/window.h"

class QMenuBar;
class QWidget;

namespace fw {

class WindowFrame;

class WindowView {
 public:
  // Builds the widgets, hidden until ShowIfWaiting. menuBar: the program's, or nullptr.
  WindowView(Window& window, MenuBar* menuBar);
  // Hides the widgets; Qt deletes them once it runs again.
  ~WindowView();
  WindowView(const WindowView&) = delete;
  WindowView& operator=(const WindowView&) = delete;

  QWidget* Frame() const;
  QWidget* Content() const { return content_; }
  // nullptr for a control that shows nothing.
  QWidget* WidgetOf(const Control& control) const;

  // Application-modal: input reaches no other window while it is up. Takes effect when it is
  // shown, which is why showing waits for ShowIfWaiting.
  void MakeModal();
  void ShowIfWaiting();
  // Title, place, size and the controls' rectangles from the model.
  void SyncWindow();
  void SyncControl(Control& control);
  void InstallMenuBar(MenuBar& menuBar);
  void SyncMenuItem(const MenuItem& item);

  // From the frame: the user's actions.
  void UserResized(int contentWidth, int contentHeight);
  void UserClosed();
  // Enter and Escape: true when they pressed a button.
  bool UserPressedKey(int key);
  // Lays the menu bar and the content into the frame's current size.
  void LayOutFrame();

 private:
  int MenuBarHeight() const;
  void SetTabOrder();

  Ref<Window> window_;
  QPointer<WindowFrame> frame_;
  QWidget* content_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  std::map<const Control*, QWidget*> widgets_;
  QRect placed_;  // the frame's rectangle as last taken from the model
  bool waitingToShow_ = true;
};

}  // namespace fw
