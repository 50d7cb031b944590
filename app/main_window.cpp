#include "main_window.h"
#include "messages.h"

#include "alerts.h"
#include "app.h"
#include "build_settings.h"
#include "command_packets.h"
#include "console_window.h"
#include "device_geometry.h"
#include "device_waits.h"
#include "hid.h"
#include "resources.h"
#include "text_functions.h"
#include "traffic_log.h"
#include "ui/application.h"

namespace {

constexpr const char* kCancelCaption = "Abbrechen";
constexpr const char* kStartCaption = "Start";

}  // namespace

fw::WindowClassDeclaration mainWindow::Declaration() {
  return {std::string(kClassName), {kCancelCaption, kStartCaption}, {}};
}

fw::Ref<class mainWindow> mainWindow() { return fw::ImplicitInstance<class mainWindow>(mainWindow::kClassName); }

void mainWindow::Layout() {
  SetSize(640, 200);
  MinWidth = 64;
  MinHeight = 64;
  MaxWidth = 32000;
  MaxHeight = 32000;
  Frame = 0;
  Placement = 0;
  HasBackColor = true;
  BackColor = fw::kWhite;
  SetTitle("");
  Visible = true;
  CloseButton = false;
  Resizeable = false;
  LiveResize = false;
  MaximizeButton = false;
  MinimizeButton = true;
  FullScreen = false;
  MenuBarVisible = true;
  Composite = false;
  MacProcID = 0;
}

void mainWindow::CreateControls() { _CreateControls0(); }

void mainWindow::_CreateControls0() {
  Canvas1 = AddControl<fw::Canvas>("Canvas1");
  Canvas1->SetBackdrop(Trovak());
  Canvas1->Left = 470, Canvas1->Top = 14, Canvas1->Width = 150, Canvas1->Height = 71;
  Canvas1->TabIndex = 5;

  bar = AddControl<fw::ProgressBar>("bar");
  bar->Left = 160, bar->Top = 128, bar->Width = 460, bar->Height = 20;
  bar->Maximum = 500;
  bar->SetValue(0);
  bar->TabStop = false;

  StaticText1 = AddControl<fw::StaticText>("StaticText1");
  StaticText1->Left = 160, StaticText1->Top = 14, StaticText1->Width = 298, StaticText1->Height = 20;
  StaticText1->SetText("Ready to install the update.");
  StaticText1->Multiline = true;
  StaticText1->TabIndex = 0;

  info = AddControl<fw::StaticText>("info");
  info->Left = 160, info->Top = 46, info->Width = 298, info->Height = 20;
  info->TabIndex = 1;

  Cancelbutton = AddControl<fw::PushButton>("Cancelbutton");
  Cancelbutton->Left = 524, Cancelbutton->Top = 160, Cancelbutton->Width = 96, Cancelbutton->Height = 20;
  Cancelbutton->SetCaption(kCancelCaption);
  Cancelbutton->Cancel = true;
  Cancelbutton->Default = false;
  Cancelbutton->TabIndex = 2;
  Cancelbutton->Action = [this] { Cancelbutton_Action(); };

  Timer1 = AddControl<fw::Timer>("Timer1");
  Timer1->SetMode(fw::Timer::kOff);
  Timer1->SetPeriod(100);
  Timer1->Action = [this] { Timer1_Action(); };

  version = AddControl<fw::StaticText>("version");
  version->Left = 20, version->Top = 160, version->Width = 384, version->Height = 20;
  version->TabIndex = 3;
  version->Open = [this] { version_Open(); };

  StartButton = AddControl<fw::PushButton>("StartButton");
  StartButton->Left = 416, StartButton->Top = 160, StartButton->Width = 96, StartButton->Height = 20;
  StartButton->SetCaption(kStartCaption);
  StartButton->Default = false;
  StartButton->Cancel = false;
  StartButton->TabIndex = 4;
  StartButton->Action = [this] { StartButton_Action(); };

  Canvas2 = AddControl<fw::Canvas>("Canvas2");
  Canvas2->Left = 20, Canvas2->Top = 14, Canvas2->Width = 128, Canvas2->Height = 128;
  Canvas2->TabIndex = 6;
  Canvas2->Open = [this] { Canvas2_Open(); };
}

void mainWindow::Event_Open() {
  SetTitle(HID::datatitle);
  if constexpr (HID::kDebugAids) {
    const fw::Ref<class ConsoleWindow> console = ConsoleWindow();
    console->SetLeft(Left());
    console->SetTop(Top() + 40 + Height());
    console->Show();
  }
}

void mainWindow::version_Open() { version->SetText(HID::dataversion); }

void mainWindow::Canvas2_Open() {
  class App* app = App();
  Canvas2->SetBackdrop(app ? app->logo : nullptr);
}

void mainWindow::StartButton_Action() {
  StaticText1->SetText("Installing new firmware... Do not disconnect.");
  StartButton->SetEnabled(false);
  StartNext();
}

void mainWindow::Cancelbutton_Action() { fw::Quit(0); }

void mainWindow::StartNext() {
  if constexpr (HID::kDebugAids) {
    ConsoleWindow()->PushButton1->SetEnabled(true);
    if (RunAll) {
      Timer1->SetMode(fw::Timer::kSingle);
    } else {
      // Stepping by hand, the developer may stop between two steps, even after the erase; the
      // next step holds quitting again.
      fw::HoldQuit(false);
    }
  } else {
    Timer1->SetMode(fw::Timer::kSingle);
  }
}

void mainWindow::Timer1_Action() {
  ++count;
  if (count > 4 && count <= 8) fw::HoldQuit(true);  // a step after the erase, resumed by hand
  switch (count) {
    case 1: Work1(); break;
    case 2: Work2(); break;
    case 3: Work3a(); break;
    case 4: Work3b(); break;
    case 5: Work3c(); break;
    case 6: Work4(); break;
    case 7: Work5(); break;
    case 8: Finish(); break;
    default: break;
  }
}

void mainWindow::Finish() {
  Timer1->SetMode(fw::Timer::kOff);
  StaticText1->SetText("New firmware installed.");
  info->SetText("Done.");
  fw::HoldQuit(false);
  fw::MsgBox(WithDetail("Update installed.", "Please disconnect the device and turn it off."));
  fw::Quit(0);
}

void mainWindow::Work1() {
  info->SetText("Query device status...");
  HID::DropQueuedReports();
  HID::SendCommand(HID::GetQueryDeviceCommand());
  const fw::Ref<fw::MemoryBlock> answer = HID::ReadCommand(false);
  if (!answer) return GiveUp("Failed to get answer from device.");
  const uint8_t code = HID::AnswerByte(*answer, HID::CommandOffset);
  if (code != HID::QUERY_DEVICE) return GiveUp(WithDetail("Wrong answer from device.", fw::Str(code)));
  if (!HID::TakeDeviceGeometry(*answer)) return GiveUp(WithDetail("Unknown type of device.", fw::Str(HID::DeviceFamily)));
  if (!PacketSizeUsable()) return;
  // A report of another length than 64 bytes was shown to the user as it came. A device that
  // frames its answers so cannot be read back reliably, so it is not erased on their word.
  if (answer->Size() != HID::PacketSize) {
    return GiveUp(WithDetail("Wrong answer from device.", "Length: " + fw::Str(static_cast<int32_t>(answer->Size()))));
  }
  // An impossible region list has been reported to the user already.
  if (!HID::ParseMemoryRegions(answer)) return fw::Quit(0);
  StartNext();
}

bool mainWindow::PacketSizeUsable() {
  // Programming and verification move BytesPerPacket bytes at a time and need whole
  // addresses per packet: with any other size they could not end. The first step stops such a
  // device before the erase; the later steps ask again, as the debug console may have
  // queried the device since.
  if (HID::PacketSizeFits(HID::BytesPerPacket, HID::ImageBytesPerAddress())) return true;
  GiveUp(WithDetail("Wrong answer from device.", "BytesPerPacket: " + fw::Str(HID::BytesPerPacket)));
  return false;
}

void mainWindow::Work2() {
  info->SetText("Reading update data...");
  if (!ReadFile()) {
    // A refusal without a message of the loader's own must not end the update without a word:
    // the user could not tell that nothing was installed.
    if (readFileRefusedSilently) fw::MsgBox("Invalid file format.");
    return fw::Quit(0);
  }
  bar->SetValue(0);
  if constexpr (HID::kDebugAids) HID::DumpMemoryRegions();
  // Records outside every region are dropped, as firmware files carry data the bootloader does
  // not program; but an update of which nothing at all lands where programming writes would
  // erase the device and leave it without firmware.
  if (firmwareBytesForDevice == 0) return GiveUp("Update does not match the device.");
  StartNext();
}

void mainWindow::Work3a() {
  info->SetText("Preparing device...");
  StartNext();
}

void mainWindow::Work3b() {
  // From the erase on, an update cut short leaves the device without a working firmware:
  // neither Cancel nor the quit item nor a signal may end the program until the update has
  // ended with its last message.
  Cancelbutton->SetEnabled(false);
  fw::HoldQuit(true);
  HID::SendCommand(HID::GetEraseDeviceCommand());
  StartNext();
}

void mainWindow::Work3c() {
  // A report left from earlier would end the wait at once, while the device still erases.
  HID::DropQueuedReports();
  HID::SendCommand(HID::GetQueryDeviceCommand());
  // Any answer will do: it shows that the device is back from the erase.
  if (!WaitForAnswer(kEraseAnswerTicks)) return GiveUp("Failed to get answer from device.");
  bar->SetValue(0);
  StartNext();
}
