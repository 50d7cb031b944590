#include "console_window.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "alerts.h"
#include "command_packets.h"
#include "device_geometry.h"
#include "device_waits.h"
#include "hid.h"
#include "main_window.h"
#include "messages.h"
#include "text_functions.h"
#include "traffic_log.h"
#include "zuv_utilities.h"

namespace {

// In the order the console makes its buttons.
constexpr std::array<const char*, 7> kButtonCaptions{
    "Startnext", "Query Device", "Read", "Write", "Complete", "Startall", "Erase"};
// Its edit fields, which a user fills by name.
constexpr std::array<const char*, 4> kFieldNames{"Empfangen", "Versendet", "iAddress", "output"};

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool AllOf(std::string_view digits, int (*isDigit)(int)) {
  if (digits.empty()) return false;
  for (char c : digits) {
    if (!isDigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Whether text is a whole number of 32 bits as Val reads it: decimal with an optional minus,
// or "&h" and hexadecimal digits. Val itself would read "x" or "12ab" as a number, and a
// typing slip would then read or write somewhere else than meant.
bool IsAddressText(const std::string& text) {
  if (text.size() > 2 && text[0] == '&' && (text[1] == 'h' || text[1] == 'H')) {
    const std::string_view digits = std::string_view(text).substr(2);
    const std::string_view significant = digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
    return AllOf(digits, &isxdigit) && significant.size() <= 8;
  }
  const std::string_view digits = std::string_view(text).substr(text.starts_with('-') ? 1 : 0);
  if (!AllOf(digits, &isdigit)) return false;
  const double value = fw::Val(text);
  return value >= -2147483648.0 && value <= 4294967295.0;
}

}  // namespace

fw::Ref<class ConsoleWindow> ConsoleWindow() {
  return fw::ImplicitInstance<class ConsoleWindow>(ConsoleWindow::kClassName);
}

void ConsoleWindow::Layout() {
  SetSize(600, 400);
  MinWidth = 64;
  MinHeight = 64;
  MaxWidth = 32000;
  MaxHeight = 32000;
  SetTitle("Ohne Titel");
  Frame = 0;
  Placement = 0;
  MacProcID = 0;
  CloseButton = true;
  Resizeable = true;
  LiveResize = true;
  MinimizeButton = true;
  MaximizeButton = false;
  MenuBarVisible = true;
  FullScreen = false;
  Composite = false;
  HasBackColor = false;
  BackColor = fw::kWhite;
  Visible = true;
}

void ConsoleWindow::CreateControls() { _CreateControls0(); }

fw::WindowClassDeclaration ConsoleWindow::Declaration() {
  return {std::string(kClassName),
          {kButtonCaptions.begin(), kButtonCaptions.end()},
          {kFieldNames.begin(), kFieldNames.end()}};
}

void ConsoleWindow::_CreateControls0() {
  struct Place {
    int left, top, width, height;
  };
  int tab = 0;
  auto place = [&tab](fw::Control& control, Place at) {
    control.Left = at.left, control.Top = at.top, control.Width = at.width, control.Height = at.height;
    control.TabIndex = tab++;
  };
  auto button = [&](const char* name, const char* caption, Place at, void (ConsoleWindow::*handler)()) {
    fw::Ref<fw::PushButton> made = AddControl<fw::PushButton>(name);
    place(*made, at);
    made->SetCaption(caption);
    made->Action = [this, handler] { (this->*handler)(); };
    return made;
  };
  auto field = [&](const char* name, Place at) {
    fw::Ref<fw::EditField> made = AddControl<fw::EditField>(name);
    place(*made, at);
    return made;
  };
  auto label = [&](const char* name, const char* text, Place at) {
    fw::Ref<fw::StaticText> made = AddControl<fw::StaticText>(name);
    place(*made, at);
    made->SetText(text);
    return made;
  };

  PushButton1 = button("PushButton1", kButtonCaptions[0], {20, 14, 95, 20}, &ConsoleWindow::PushButton1_Action);
  PushButton2 = button("PushButton2", kButtonCaptions[1], {458, 12, 122, 20}, &ConsoleWindow::PushButton2_Action);
  Empfangen = field(kFieldNames[0], {20, 358, 560, 22});
  Empfangen->LockLeft = Empfangen->LockRight = Empfangen->LockBottom = true;
  Versendet = field(kFieldNames[1], {20, 292, 560, 22});
  Versendet->LockLeft = Versendet->LockRight = Versendet->LockBottom = true;
  StaticText1 = label("StaticText1", "Empfangen:", {20, 326, 100, 20});
  StaticText1->LockLeft = StaticText1->LockBottom = true;
  StaticText2 = label("StaticText2", "Versendet:", {20, 260, 100, 20});
  StaticText2->LockLeft = StaticText2->LockBottom = true;
  iAddress = field(kFieldNames[2], {127, 45, 122, 22});
  StaticText3 = label("StaticText3", "Address:", {20, 46, 100, 20});
  PushButton3 = button("PushButton3", kButtonCaptions[2], {20, 78, 80, 20}, &ConsoleWindow::PushButton3_Action);
  output = field(kFieldNames[3], {261, 44, 319, 22});
  output->LockLeft = output->LockTop = output->LockRight = true;
  PushButton4 = button("PushButton4", kButtonCaptions[3], {112, 78, 80, 20}, &ConsoleWindow::PushButton4_Action);
  PushButton5 = button("PushButton5", kButtonCaptions[4], {204, 78, 80, 20}, &ConsoleWindow::PushButton5_Action);
  PushButton6 = button("PushButton6", kButtonCaptions[5], {127, 14, 95, 20}, &ConsoleWindow::PushButton6_Action);
  PushButton7 = button("PushButton7", kButtonCaptions[6], {296, 78, 80, 20}, &ConsoleWindow::PushButton7_Action);
}

void ConsoleWindow::Event_Open() { HID::InitLog("Debug"); }

void ConsoleWindow::ClearEchoFields() {
  Versendet->SetText("");
  Empfangen->SetText("");
}

void ConsoleWindow::Send(const fw::Ref<fw::MemoryBlock>& packet) {
  HID::SendCommand(packet);
  Versendet->SetText(EncodingToHexZuv(packet ? packet->ToString() : std::string()));
}

fw::Ref<fw::MemoryBlock> ConsoleWindow::Receive(uint8_t command, int64_t bound) {
  const fw::Ref<fw::MemoryBlock> answer = WaitForAnswer(bound);
  if (!answer) {
    fw::MsgBox("Failed to get answer from device.");
    return nullptr;
  }
  Empfangen->SetText(EncodingToHexZuv(answer->ToString()));
  const uint8_t code = HID::AnswerByte(*answer, HID::CommandOffset);
  if (code != command) {
    fw::MsgBox(WithDetail("Falsche Antwort vom Ger\xC3\xA4t.", fw::Str(code)));
    return nullptr;
  }
  return answer;
}

bool ConsoleWindow::TypedAddress(int32_t& address) {
  const std::string text = Trimmed(iAddress->Text());
  if (!IsAddressText(text)) {
    fw::MsgBox(WithDetail("Invalid address.", "\"" + iAddress->Text() + "\" is not a 32-bit number."));
    return false;
  }
  address = fw::IntegerFromDouble(fw::Val(text));
  return true;
}

bool ConsoleWindow::PacketSizeBuildable() {
  if (HID::BytesPerPacket <= HID::MaxDataBytes) return true;
  fw::MsgBox(WithDetail("No packet sent.", "BytesPerPacket is " + fw::Str(HID::BytesPerPacket) + "; a packet holds at most " +
                                               fw::Str(HID::MaxDataBytes) + " data bytes."));
  return false;
}

void ConsoleWindow::PushButton1_Action() {
  PushButton1->SetEnabled(false);
  mainWindow()->Timer1->SetMode(fw::Timer::kSingle);
}

void ConsoleWindow::PushButton6_Action() {
  const fw::Ref<class mainWindow> main = mainWindow();
  main->RunAll = true;
  main->Timer1->SetMode(fw::Timer::kSingle);
}

void ConsoleWindow::PushButton2_Action() {
  ClearEchoFields();
  HID::DropQueuedReports();
  Send(HID::GetQueryDeviceCommand());
  // The device may be busy with an erase it was just sent.
  const fw::Ref<fw::MemoryBlock> answer = Receive(HID::QUERY_DEVICE, kEraseAnswerTicks);
  if (!answer) return;
  const bool knownFamily = HID::TakeDeviceGeometry(*answer);
  std::vector<std::string> lines{"BytesPerPacket: " + fw::Str(HID::BytesPerPacket),
                                 "DeviceFamily: " + fw::Str(HID::DeviceFamily)};
  if (!knownFamily) lines.push_back("Unbekanntes Ger\xC3\xA4t: " + fw::Str(HID::DeviceFamily));
  lines.push_back("bytesPerAddress: " + fw::Str(HID::bytesPerAddress));
  std::string listing;
  for (size_t i = 0; i < lines.size(); ++i) listing += (i ? fw::EndOfLine : "") + lines[i];
  fw::MsgBox(listing);
  // Its own message says what is wrong when the answer's regions cannot be taken.
  (void)HID::ParseMemoryRegions(answer);
}

void ConsoleWindow::PushButton3_Action() {
  ClearEchoFields();
  int32_t address = 0;
  if (!TypedAddress(address) || !PacketSizeBuildable()) return;
  // An answer that came after an earlier wait gave up must not pass for this one.
  HID::DropQueuedReports();
  Send(HID::GetGetDataCommand(address, HID::BytesPerPacket));
  const fw::Ref<fw::MemoryBlock> answer = Receive(HID::GET_DATA, kDataAnswerTicks);
  if (!answer) return;
  // BytesPerPacket bytes from the first of the data field, whatever count the answer gives.
  output->SetText(EncodingToHexZuv(answer->StringValue(HID::DataOffset, static_cast<size_t>(HID::BytesPerPacket))));
}

void ConsoleWindow::PushButton4_Action() {
  ClearEchoFields();
  int32_t address = 0;
  if (!TypedAddress(address) || !PacketSizeBuildable()) return;
  // Text that spells no bytes would otherwise write a packet of zeros.
  const HexDecoding data = DecodeHexText(output->Text());
  if (!data.ok) {
    fw::MsgBox(WithDetail("No packet sent.", data.error.message));
    return;
  }
  Send(HID::GetProgramDeviceCommand(address, HID::BytesPerPacket, data.bytes));
}

void ConsoleWindow::PushButton5_Action() {
  ClearEchoFields();
  Send(HID::GetProgramCompleteCommand());
}

void ConsoleWindow::PushButton7_Action() {
  ClearEchoFields();
  Send(HID::GetEraseDeviceCommand());
}
