#include "ui/front_end.h"

namespace fw {
namespace {

// Shows nothing and dismisses every message at once: the program runs without a user.
class SilentFrontEnd final : public FrontEnd {
 public:
  void WindowOpened(Window&) override {}
  void WindowModal(Window&) override {}
  void WindowClosed(Window&) override {}
  void WindowChanged(Window&) override {}
  void ControlChanged(Control&) override {}
  void RedrawNow(Control&) override {}
  void ShowMessage(MessageBox& box) override { box.Dismiss(); }
  void HideMessage(MessageBox&) override {}
  void Beep() override {}
  void MenuBarInstalled(MenuBar&) override {}
  void Update() override {}
};

FrontEnd*& Installed() {
  static FrontEnd* frontEnd = nullptr;
  return frontEnd;
}

}  // namespace

FrontEnd& CurrentFrontEnd() {
  static SilentFrontEnd silent;
  FrontEnd* installed = Installed();
  return installed ? *installed : silent;
}

FrontEnd* SetFrontEnd(FrontEnd* frontEnd) {
  FrontEnd* previous = Installed();
  Installed() = frontEnd;
  return previous;
}

}  // namespace fw
