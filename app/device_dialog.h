// The first window: it searches the USB HID devices once a second for the device of the
// update, connects the first that matches, hands it to the HID module and closes itself.
// Ten seconds without a device, it says so once and goes on searching.
#pragma once

#include "my_orvane.h"
#include "plugin_decls/tessik_zuv.h"
#include "ui/window.h"

class DeviceDialog : public fw::Window {
 public:
  static constexpr std::string_view kClassName = "DeviceDialog";

  DeviceDialog() : Window(std::string(kClassName)) {}

  // What a user may name in this window, for the front ends: its buttons' captions and its
  // fields' names, as the window makes them.
  static fw::WindowClassDeclaration Declaration();

  fw::Ref<fw::Timer> Timer1;
  fw::Ref<fw::StaticText> StaticText2;
  fw::Ref<fw::PushButton> PushButton1;
  fw::Ref<fw::StaticText> StaticText1;
  fw::Ref<fw::Canvas> Canvas1;
  fw::Ref<fw::Canvas> Canvas2;
  fw::Ref<fw::Timer> NothingTimer;

 protected:
  ~DeviceDialog() override = default;

  void Layout() override;
  void CreateControls() override;
  void Event_Open() override;

 private:
  void _CreateControls0();
  void Timer1_Action();
  void PushButton1_Action();
  void StaticText1_Open();
  void Canvas2_Open();
  void NothingTimer_Action();
  void SearchDevice();
  // A new device object on the first device whose ids are the update's, or nullptr.
  fw::Ref<MyOrvane> FindDeviceMac();
  fw::Ref<fw::TessikZuv> FindDeviceWin();
};

// The open search dialog, or a new one.
fw::Ref<DeviceDialog> DeviceDialog();
