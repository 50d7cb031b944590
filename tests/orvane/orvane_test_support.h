// What the Orvane tests share: the real host with the real plug-ins loaded, a device folder
// of each test's own, an event pump with a deadline, a program subclass of OrvaneZuv that
// records its events, and a fake virtual device that sends whatever report a test wants.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "devsim/device_server.h"
#include "orvane_class_data.h"
#include "os/carbon_events.h"
#include "plugin_decls/orvane_zuv.h"

namespace orvanetest {

using namespace std::chrono_literals;

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

// A temporary folder for the test's virtual devices, and an empty stand-in for the system's
// hidraw devices, both put in the environment for as long as the object lives.
class DeviceFolders {
 public:
  DeviceFolders();
  ~DeviceFolders();
  DeviceFolders(const DeviceFolders&) = delete;
  DeviceFolders& operator=(const DeviceFolders&) = delete;
  const std::filesystem::path& devices() const { return devices_; }

 private:
  std::filesystem::path root_;
  std::filesystem::path devices_;
};

// Runs the event loop until `done` holds; false when the deadline passed first.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 3s);

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

// The simulator in-process, in the given folder; null (with a test failure) if it cannot start.
devsim::Options SimulatorOptions(const std::filesystem::path& folder, const std::string& name,
                                 uint16_t vendorId = 0x04D8, uint16_t productId = 0x003C);
std::unique_ptr<devsim::BackgroundDevice> StartSimulator(const devsim::Options& options);

std::vector<uint8_t> Bytes(std::string_view text);
std::string Text(std::span<const uint8_t> bytes);

// A virtual device written by hand: a listening socket <name>.sock and <name>.props in the
// folder. Props lines are given as they should appear ("VendorID=1240").
class FakeDevice {
 public:
  FakeDevice(const std::filesystem::path& folder, const std::string& name,
             const std::vector<std::string>& props);
  ~FakeDevice();
  FakeDevice(const FakeDevice&) = delete;
  FakeDevice& operator=(const FakeDevice&) = delete;

  static std::vector<std::string> DefaultProps(int vendorId = 0x04D8, int productId = 0x003C);

  // Takes the host's connection; false when the host did not connect in time.
  bool AcceptHost(std::chrono::milliseconds timeout = 2s);
  // One input report, sent with report id 0 as the wire wants it.
  void SendReport(std::span<const uint8_t> report);
  // The next datagram the host sent (report id first), or nothing in time.
  std::optional<std::vector<uint8_t>> NextPacket(std::chrono::milliseconds timeout = 2s);
  // True once the host has closed its connection.
  bool HostClosed(std::chrono::milliseconds timeout = 2s);
  // Stops listening but leaves the files: the device is listed, yet cannot be opened.
  void StopListening();

 private:
  std::filesystem::path socketPath_;
  std::filesystem::path propsPath_;
  int listener_ = -1;
  int connection_ = -1;
};

// Every test: plug-ins loaded, a device folder of its own, no probe events left over, and
// every host string it made released again by its end.
class OrvaneTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  DeviceFolders folders;

 private:
  size_t liveStringsBefore_ = 0;
};

}  // namespace orvanetest
