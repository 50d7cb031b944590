// The main update window. Start runs the update as a chain of steps, one per firing of a
// one-shot timer: query the device, load the firmware into the region images, prepare,
// erase, wait for the device, program, verify, and finish by telling the user to switch the
// device off. A step that fails says why and quits.
#pragma once

#include <cstdint>

#include "ui/window.h"

class mainWindow : public fw::Window {
 public:
  static constexpr std::string_view kClassName = "mainWindow";

  mainWindow() : Window(std::string(kClassName)) {}

  // What a user may name in this window, for the front ends: its buttons' captions and its
  // fields' names, as the window makes them.
  static fw::WindowClassDeclaration Declaration();

  // The step that runs or ran last; only Timer1_Action raises it.
  int32_t count = 0;
  // The console's run-to-end flag (debug builds).
  bool RunAll = false;
  // What the last ReadFile found: how many firmware bytes landed where programming writes,
  // and whether it refused the text without a message of its own.
  int64_t firmwareBytesForDevice = 0;
  bool readFileRefusedSilently = false;

  fw::Ref<fw::Canvas> Canvas1;
  fw::Ref<fw::ProgressBar> bar;
  fw::Ref<fw::StaticText> StaticText1;
  fw::Ref<fw::StaticText> info;
  fw::Ref<fw::PushButton> Cancelbutton;
  fw::Ref<fw::Timer> Timer1;
  fw::Ref<fw::StaticText> version;
  fw::Ref<fw::PushButton> StartButton;
  fw::Ref<fw::Canvas> Canvas2;

  // Arms the next step.
  void StartNext();

  // Loads the firmware text into the region images; false after its message, if any.
  bool ReadFile();
  void Work1();
  void Work2();
  void Work3a();
  void Work3b();
  void Work3c();
  void Work4();
  void Work5();

 protected:
  ~mainWindow() override = default;

  void Layout() override;
  void CreateControls() override;
  void Event_Open() override;

 private:
  void _CreateControls0();
  void Cancelbutton_Action();
  void Timer1_Action();
  void version_Open();
  void StartButton_Action();
  void Canvas2_Open();
  void Finish();
  // Whether programming and verification can work with the device's packet size; when not,
  // the user is told and the program quits.
  bool PacketSizeUsable();
};

// The open main window, or a new one.
fw::Ref<mainWindow> mainWindow();
