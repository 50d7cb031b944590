// What the Orvane tests share: the real host with the real plug-ins loaded, device folders
// of each test's own, a program subclass of OrvaneZuv that records its events, and the
// props of a hand-made virtual device.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "event_loop_until.h"
#include "fake_virtual_device.h"
#include "isolated_devices.h"
#include "orvane_class_data.h"
#include "os/carbon_events.h"
#include "plugin_decls/orvane_zuv.h"
#include "simulator.h"

namespace orvanetest {

using namespace std::chrono_literals;
using testsupport::FakeVirtualDevice;
using testsupport::RunEventLoopUntil;
using testsupport::SimulatorOptions;
using testsupport::StartSimulator;

// Loads Orvane and Tessik into the real host (once per process) and binds the program's
// entry points. Before that, installs the PassedOnProbe below the plug-in's handler.
void LoadPlugins();

// Sees the plug-in's events that its handler passes on, as the handler installed before it
// on the application target.
struct PassedOnProbe {
  // What the probe answers: eventNotHandledErr leaves the event to no one.
  OSStatus answer = eventNotHandledErr;
  // Every event that reached the probe, retained until Reset.
  std::vector<EventRef> events;
  void Reset();
};
PassedOnProbe& Probe();

struct ReceivedReport {
  std::string data;
  int32_t size;
  friend bool operator==(const ReceivedReport&, const ReceivedReport&) = default;
};

// The program's own subclass of OrvaneZuv, like the updater's device object.
class RecordingDevice : public fw::OrvaneZuv {
 public:
  enum class Handlers { Both, ReceivedDataOnly, None };
  explicit RecordingDevice(Handlers handlers = Handlers::Both);

  std::vector<ReceivedReport> received;
  std::vector<int32_t> removals;
  // Runs inside the ReceivedData handler, after the report has been recorded.
  std::function<void()> onReceived;

  orvane::OrvaneData& Data() const;

 protected:
  ~RecordingDevice() override = default;
};

std::vector<uint8_t> Bytes(std::string_view text);
std::string Text(std::span<const uint8_t> bytes);

// The identity of a hand-made virtual device: a device of the updater's kind unless the
// ids say otherwise.
FakeVirtualDevice::Properties FakeProps(int vendorId = 0x1234, int productId = 0x5678);

// Every test: plug-ins loaded, device folders of its own, no probe events left over, and
// every host string it made released again by its end.
class OrvaneTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Finds the first device and connects to it, asserting each step; call it inside
  // ASSERT_NO_FATAL_FAILURE.
  static void ConnectFirst(RecordingDevice& device);
  // The device at `position` in the walk, connected, with `fake` holding the host's
  // connection.
  static fw::Ref<RecordingDevice> ConnectTo(
      FakeVirtualDevice& fake, int position = 0,
      RecordingDevice::Handlers handlers = RecordingDevice::Handlers::Both);
  // Likewise, and listening for reports.
  static fw::Ref<RecordingDevice> ListenTo(
      FakeVirtualDevice& fake, int position = 0,
      RecordingDevice::Handlers handlers = RecordingDevice::Handlers::Both);

  testsupport::IsolatedDevices folders;

 private:
  size_t liveStringsBefore_ = 0;
};

}  // namespace orvanetest
