// The framework's event loop: one loop for device reports and system events (the
// operating-system layer's pass), timers and the user's input, delivered one at a time.
// Modal windows and message boxes run it nested. Once the program asked to quit, nothing
// more is delivered and every loop returns.
#pragma once

#include <functional>

#include "object.h"

namespace fw {

class Window;

// Queues one action of the user for delivery from the event loop. window: the window it is
// for (kept alive until then), or nullptr for the application (a menu item). While a modal
// window is up, input for other windows is dropped; while a message box is up, all other
// input is.
void PostInput(Ref<Window> window, std::function<void()> action);
// Whether input is queued and not yet delivered.
bool InputPending();
// Whether the program's handler of an input runs now (a nested loop may run inside it).
bool HandlingInput();

// One pass: device and system events, the timers that are due, then one input event. When
// there is nothing to do it first sleeps until the next timer is due or input comes.
void RunEventLoopPass();
// Runs passes until done() answers true or the program is quitting; done() is asked first.
void RunEventLoopUntil(const std::function<bool()>& done);

// Bookkeeping of the modal levels, for Window::ShowModal and message boxes.
class ModalScope {
 public:
  explicit ModalScope(Window* window);  // nullptr: a message box
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
};

// Drops queued input and timers' bookkeeping; for the end of the program and for tests.
void ResetEventLoop();

}  // namespace fw
