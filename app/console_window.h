// The debug console (debug builds): steps the main window's update by hand, sends single
// bootloader commands and shows every packet sent and every answer received as hex text.
// Opening it starts the traffic log.
#pragma once

#include <cstdint>

#include "memory_block.h"
#include "ui/window.h"

class ConsoleWindow : public fw::Window {
 public:
  static constexpr std::string_view kClassName = "ConsoleWindow.ConsoleWindow";

  ConsoleWindow() : Window(std::string(kClassName)) {}

  // What a user may name in this window, for the front ends: its buttons' captions and its
  // fields' names, as the window makes them.
  static fw::WindowClassDeclaration Declaration();

  fw::Ref<fw::PushButton> PushButton1;
  fw::Ref<fw::PushButton> PushButton2;
  fw::Ref<fw::EditField> Empfangen;
  fw::Ref<fw::EditField> Versendet;
  fw::Ref<fw::StaticText> StaticText1;
  fw::Ref<fw::StaticText> StaticText2;
  fw::Ref<fw::EditField> iAddress;
  fw::Ref<fw::StaticText> StaticText3;
  fw::Ref<fw::PushButton> PushButton3;
  fw::Ref<fw::EditField> output;
  fw::Ref<fw::PushButton> PushButton4;
  fw::Ref<fw::PushButton> PushButton5;
  fw::Ref<fw::PushButton> PushButton6;
  fw::Ref<fw::PushButton> PushButton7;

 protected:
  ~ConsoleWindow() override = default;

  void Layout() override;
  void CreateControls() override;
  void Event_Open() override;

 private:
  void _CreateControls0();
  void PushButton1_Action();  // "Startnext"
  void PushButton2_Action();  // "Query Device"
  void PushButton3_Action();  // "Read"
  void PushButton4_Action();  // "Write"
  void PushButton5_Action();  // "Complete"
  void PushButton6_Action();  // "Startall"
  void PushButton7_Action();  // "Erase"

  // Every command button first empties both echo fields, so that they show only its own
  // exchange.
  void ClearEchoFields();
  // Sends the packet and shows it.
  void Send(const fw::Ref<fw::MemoryBlock>& packet);
  // Waits for the answer to command within bound ticks and shows it; nullptr after telling
  // the user that none came or that it answers another command.
  fw::Ref<fw::MemoryBlock> Receive(uint8_t command, int64_t bound);
  // The address typed in iAddress; false after telling the user what is wrong with it.
  bool TypedAddress(int32_t& address);
  // Whether a packet with BytesPerPacket data bytes can be built; false after saying why.
  bool PacketSizeBuildable();
};

// The open console, or a new one.
fw::Ref<ConsoleWindow> ConsoleWindow();
