// The program's message boxes as Qt message boxes. Each is opened application-modal and
// returns at once: the framework waits for it in its own event loop, nested, so that timers
// and device reports go on while a box is up; a modal loop of Qt's own (exec) would stop them.
#pragma once

#include <QtCore/QPointer>

#include <map>

#include "ui/front_end.h"

class QMessageBox;

namespace fw {

class MessageBoxes {
 public:
  MessageBoxes() = default;
  ~MessageBoxes();
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;

  // Shows box's text as it is, line ends included; dismisses box when the user closes it.
  void Show(MessageBox& box);
  // Closes the box without dismissing it: the program no longer waits for it.
  void Hide(MessageBox& box);
  void HideAll();

 private:
  std::map<MessageBox*, QPointer<QMessageBox>> open_;
};

}  // namespace fw
