// Shared by the protocol tests: recorders for what the program shows and logs, a stand-in
// for the Orvane plug-in's device class, and a clean slate of the HID globals per test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "alerts.h"
#include "hid_test_state.h"
#include "build_settings.h"
#include "memory_block.h"
#include "os/carbon_events.h"
#include "plugin_instance.h"
#include "system_log.h"
#include "app_folder.h"
#include "ticks.h"

// The same test sources run in the shipped build and in the one with the debug aids; the
// suite names tell the two apart in ctest's output.
#if UPDATER_DEBUG_AIDS_ENABLED
#define PROTOCOL_SUITE(name) ProtocolDebugAids##name
#else
#define PROTOCOL_SUITE(name) Protocol##name
#endif

// The paths through HID::DeviceMac run only in the macOS build; the other builds compile
// them without taking them.
#define SKIP_UNLESS_MAC_BUILD()                                 \
  if constexpr (HID::kBuildTarget != HID::BuildTarget::macOS) { \
    GTEST_SKIP() << "runs only in the macOS build";             \
  }

namespace protocol_test {

// Records every message box and every debug-log line while it lives. Recorders nest: the
// innermost one records, and the one around it takes over again when it goes.
class Recorder {
 public:
  Recorder();
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  std::vector<std::string> messages;
  std::vector<std::string> logLines;

 private:
  static void RecordLine(const char* line, void* recorder);

  fw::MessagePresenter previousPresenter_;
  Recorder* outer_;
};

// A clock that moves one tick every time it is read, so a wait of n ticks takes n reads and
// no time. onTick runs at every read with the new tick count.
class SteppingClock {
 public:
  SteppingClock();
  ~SteppingClock();
  SteppingClock(const SteppingClock&) = delete;
  SteppingClock& operator=(const SteppingClock&) = delete;

  int64_t now = 1000;
  std::function<void(int64_t)> onTick;

 private:
  fw::TickSource previous_;
};

// Counts the passes of the event loop while it lives: an event of its own is always queued,
// and its handler, which each pass runs once, posts the next one for the pass after.
class EventLoopPasses {
 public:
  EventLoopPasses();
  ~EventLoopPasses();
  EventLoopPasses(const EventLoopPasses&) = delete;
  EventLoopPasses& operator=(const EventLoopPasses&) = delete;

  int count = 0;

 private:
  static OSStatus OnPass(EventHandlerCallRef, EventRef, void* self);
  void PostNext();
  EventHandlerRef handler_ = nullptr;
};

// What the stand-in device class saw.
struct StandInTraffic {
  std::vector<std::vector<uint8_t>> sent;  // each output report, as sent
  int32_t nextLasterror = 0;               // what a send leaves in Lasterror
  int closes = 0;                          // Close calls, the destructor's included
};

// Registers a stand-in "OrvaneZuv" class (once per process) and binds the program's entry
// table to it. Returns its record, cleared.
StandInTraffic& UseStandInOrvane();

// A report as the plug-in hands it to the program's ReceivedData handler, through the
// handler the object's class bound by name.
void DeliverReport(fw::PluginInstance& device, const std::string& bytes, int32_t size);

std::vector<uint8_t> BytesOf(const fw::MemoryBlock& block);

// A QueryDeviceAnswer: code 2, 56 bytes per packet, family 1, then the given records.
struct Record {
  uint8_t type;
  int32_t address;
  int32_t size;
};
fw::Ref<fw::MemoryBlock> QueryAnswer(const std::vector<Record>& records, bool endMarker);

using framework_test::TempAppFolder;

// Every HID global back at its start-up value, before and after each test.
using hid_test::ResetHidGlobals;

}  // namespace protocol_test
