#include "device_dialog.h"

#include "alerts.h"
#include "app.h"
#include "background_task.h"
#include "build_settings.h"
#include "device_match.h"
#include "hid.h"
#include "resources.h"
#include "system_log.h"
#include "text_functions.h"
#include "ui/application.h"

namespace {

constexpr const char* kCancelCaption = "Cancel";

// Walks the system's HID devices from the first and stops on the first match.
template <class Device, class IdText>
fw::Ref<Device> FindDevice(fw::Ref<Device> device, IdText idText) {
  if (!device->FindFirstDevice()) return nullptr;
  if (ExamineDevice(*device, idText)) return device;
  while (device->FindNextDevice()) {
    if (ExamineDevice(*device, idText)) return device;
    fw::RuntimeBackgroundTask();
  }
  return nullptr;
}

}  // namespace

fw::WindowClassDeclaration DeviceDialog::Declaration() {
  return {std::string(kClassName), {kCancelCaption}, {}};
}

fw::Ref<class DeviceDialog> DeviceDialog() { return fw::ImplicitInstance<class DeviceDialog>(DeviceDialog::kClassName); }

void DeviceDialog::Layout() {
  SetSize(400, 222);
  MinWidth = 64;
  MinHeight = 64;
  MaxWidth = 32000;
  MaxHeight = 32000;
  Resizeable = false;
  CloseButton = false;
  MinimizeButton = true;
  MaximizeButton = false;
  LiveResize = true;
  HasBackColor = true;
  BackColor = fw::kWhite;
  SetTitle("");
  Visible = true;
  FullScreen = false;
  MenuBarVisible = true;
  Composite = false;
  Frame = 0;
  Placement = 0;
  MacProcID = 0;
}

void DeviceDialog::CreateControls() { _CreateControls0(); }

void DeviceDialog::_CreateControls0() {
  Timer1 = AddControl<fw::Timer>("Timer1");
  Timer1->SetPeriod(1000);
  Timer1->SetMode(fw::Timer::kMultiple);
  Timer1->Action = [this] { Timer1_Action(); };

  StaticText2 = AddControl<fw::StaticText>("StaticText2");
  StaticText2->Left = 20, StaticText2->Top = 14, StaticText2->Width = 156, StaticText2->Height = 20;
  StaticText2->SetText("Searching USB device...");
  StaticText2->TabIndex = 1;

  PushButton1 = AddControl<fw::PushButton>("PushButton1");
  PushButton1->Left = 288, PushButton1->Top = 182, PushButton1->Width = 92, PushButton1->Height = 20;
  PushButton1->SetCaption(kCancelCaption);
  PushButton1->Cancel = true;
  PushButton1->Default = false;
  PushButton1->TabIndex = 3;
  PushButton1->Action = [this] { PushButton1_Action(); };

  StaticText1 = AddControl<fw::StaticText>("StaticText1");
  StaticText1->Left = 20, StaticText1->Top = 182, StaticText1->Width = 256, StaticText1->Height = 20;
  StaticText1->LockLeft = true;
  StaticText1->LockBottom = true;
  StaticText1->TabIndex = 4;
  StaticText1->Open = [this] { StaticText1_Open(); };

  Canvas1 = AddControl<fw::Canvas>("Canvas1");
  Canvas1->SetBackdrop(Trovak());
  Canvas1->Left = 230, Canvas1->Top = 14, Canvas1->Width = 150, Canvas1->Height = 71;
  Canvas1->TabIndex = 5;

  Canvas2 = AddControl<fw::Canvas>("Canvas2");
  Canvas2->Left = 20, Canvas2->Top = 42, Canvas2->Width = 128, Canvas2->Height = 128;
  Canvas2->TabIndex = 6;
  Canvas2->Open = [this] { Canvas2_Open(); };

  NothingTimer = AddControl<fw::Timer>("NothingTimer");
  NothingTimer->SetPeriod(10000);
  NothingTimer->SetMode(fw::Timer::kSingle);
  NothingTimer->Action = [this] { NothingTimer_Action(); };
}

void DeviceDialog::Event_Open() { SetTitle(HID::datatitle); }

void DeviceDialog::StaticText1_Open() { StaticText1->SetText(HID::dataversion); }

void DeviceDialog::Canvas2_Open() {
  class App* app = App();
  Canvas2->SetBackdrop(app ? app->logo : nullptr);
}

void DeviceDialog::Timer1_Action() { SearchDevice(); }

void DeviceDialog::NothingTimer_Action() { fw::MsgBox("No device found."); }

void DeviceDialog::PushButton1_Action() { fw::Quit(0); }

void DeviceDialog::SearchDevice() {
  if constexpr (HID::kBuildTarget == HID::BuildTarget::macOS) {
    HID::DeviceMac = FindDeviceMac();
    if (!HID::DeviceMac) return;
    HID::DeviceMac->Connect();
    if (HID::DeviceMac->Lasterror() != 0) {
      fw::System::DebugLog("Connect: " + fw::Str(HID::DeviceMac->Lasterror()));
      HID::DeviceMac = nullptr;
      fw::MsgBox("Failed to connect to USB device. ");
      fw::Quit(0);
      return;
    }
    fw::System::DebugLog("Connect OK.");
    Timer1->SetMode(fw::Timer::kOff);
    HID::DeviceMac->InstallCallback();
    HID::DeviceFound = true;
    NothingTimer->SetMode(fw::Timer::kOff);
    Close();
  } else if constexpr (HID::kBuildTarget == HID::BuildTarget::Windows) {
    HID::DeviceWin = FindDeviceWin();
    if (!HID::DeviceWin) return;
    if (!HID::DeviceWin->Connect()) {
      HID::DeviceWin = nullptr;
      fw::MsgBox("Failed to connect to USB device.");
      fw::Quit(0);
      return;
    }
    fw::System::DebugLog("Connect OK.");
    Timer1->SetMode(fw::Timer::kOff);
    HID::DeviceFound = true;
    NothingTimer->SetMode(fw::Timer::kOff);
    Close();
  } else {
    fw::MsgBox("platform not supported");
  }
}

fw::Ref<MyOrvane> DeviceDialog::FindDeviceMac() {
  return FindDevice(fw::MakeRef<MyOrvane>(), [](int32_t id) { return fw::Hex(id); });
}

fw::Ref<fw::TessikZuv> DeviceDialog::FindDeviceWin() {
  return FindDevice(fw::MakeRef<fw::TessikZuv>(), [](int32_t id) { return fw::Str(id); });
}
