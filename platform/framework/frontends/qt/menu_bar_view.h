// The program's menu bar as a Qt menu bar in one window. The standard Edit items act on the
// line edit that has the focus, inside the toolkit; every other item (the quit item among
// them) is chosen through the program, as queued input.
#pragma once

#include "ui/menu.h"

class QMenuBar;
class QWidget;

namespace fw {

// A menu bar with the menus and items of model, a child of parent.
QMenuBar* MakeMenuBar(MenuBar& model, QWidget* parent);
// Enables or disables item's action in bar as the model's item is.
void SyncMenuItem(QMenuBar& bar, const MenuItem& item);

}  // namespace fw
