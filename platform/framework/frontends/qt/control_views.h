// The widgets that show the framework's controls: a label for a static text, a button, a
// line edit for an edit field, a progress bar, and a canvas that draws its backdrop picture.
// Timers show nothing. What the user does to a widget reaches the program as queued input.
#pragma once

#include "ui/controls.h"

class QWidget;

namespace fw {

class Window;

// The widget that shows control in window, a child of parent at the control's rectangle and
// up to date with it; nullptr for a control that shows nothing.
QWidget* MakeControlWidget(Control& control, Window& window, QWidget* parent);
// Brings widget (made by MakeControlWidget for control) up to date with the model: text,
// value, picture, enabled and visible state, rectangle.
void SyncControlWidget(Control& control, QWidget& widget);

}  // namespace fw
