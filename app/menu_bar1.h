// The application's menu bar: File with its quit item, and the standard Edit menu.
#pragma once

#include "ui/menu.h"

class MenuBar1 : public fw::MenuBar {
 public:
  MenuBar1();

  // The one instance, made by the first call to the accessor.
  static fw::Ref<MenuBar1> _implicitInstance;

 protected:
  ~MenuBar1() override = default;
};

// The one menu bar; built on the first call.
fw::Ref<MenuBar1> MenuBar1();
// Drops the kept instance, at the end of the program.
void ReleaseMenuBar1();
