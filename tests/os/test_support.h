// Helpers for the OS layer's tests: the shared device fakes and folders, a pseudo-terminal
// playing a hidraw node, and the IOKit calls a device user makes, wrapped for brevity.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "os/carbon_events.h"
#include "os/iokit_hid.h"

#include "unique_fd.h"

#include "event_loop_until.h"
#include "fake_virtual_device.h"
#include "files.h"
#include "isolated_devices.h"

namespace ostest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

using testsupport::FakeVirtualDevice;
using testsupport::IsolatedDevices;
using testsupport::RunEventLoopUntil;
using testsupport::WriteFile;

// Collects the debug-log lines written while it lives.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// The registry entries of every HID device present now, released on destruction.
class MatchedDevices {
 public:
  MatchedDevices();
  ~MatchedDevices();
  MatchedDevices(const MatchedDevices&) = delete;
  MatchedDevices& operator=(const MatchedDevices&) = delete;
  const std::vector<io_object_t>& entries() const { return entries_; }
  std::size_t size() const { return entries_.size(); }
  io_object_t operator[](std::size_t index) const { return entries_.at(index); }

 private:
  std::vector<io_object_t> entries_;
};

std::optional<std::string> textProperty(io_object_t entry, const char* key);
std::optional<std::int32_t> numberProperty(io_object_t entry, const char* key);

// What IOCreatePlugInInterfaceForService answers when asked, as the plug-in asks, for the
// entry's HID device user client.
struct CreatedPlugIn {
  IOReturn result = kIOReturnError;
  IOCFPlugInInterface** plugIn = nullptr;
  SInt32 score = -1;  // shows whether the call set it
};
CreatedPlugIn CreatePlugIn(io_object_t entry);

// A device opened the way the plug-in opens it: plug-in interface, device interface, open,
// event source in the run loop, report and removal call-backs registered.
class ConnectedDevice {
 public:
  explicit ConnectedDevice(io_object_t entry, std::uint32_t reportBufferSize = 1024);
  ~ConnectedDevice();
  ConnectedDevice(const ConnectedDevice&) = delete;
  ConnectedDevice& operator=(const ConnectedDevice&) = delete;

  IOReturn openResult() const { return openResult_; }
  IOReturn eventSourceResult() const { return eventSourceResult_; }
  IOHIDDeviceInterface** device() const { return device_; }
  IOReturn send(const Bytes& report, std::uint32_t reportId = 0, std::uint32_t timeoutMs = 1000);
  const std::vector<Bytes>& reports() const { return reports_; }
  int removals() const { return removals_; }

 private:
  static void onReport(void* target, IOReturn result, void* refcon, void* sender, UInt32 size);
  static void onRemoval(void* target, IOReturn result, void* refcon, void* sender);

  IOHIDDeviceInterface** device_ = nullptr;
  CFRunLoopSourceRef source_ = nullptr;
  IOReturn openResult_ = kIOReturnError;
  IOReturn eventSourceResult_ = kIOReturnError;
  Bytes buffer_;
  std::vector<Bytes> reports_;
  int removals_ = 0;
};

// Runs `work` on a thread of its own and tells whether it finished within `limit`. Code
// that opens a FIFO for reading blocks until a writer comes, which would hang the test for
// good; so once the time is up, writers open and close the `fifos` until `work` has returned.
bool FinishesWithin(std::chrono::milliseconds limit, const std::vector<std::filesystem::path>& fifos,
                    const std::function<void()>& work);

// A pseudo-terminal in raw mode standing in for a hidraw node: the host opens the
// terminal side through the dev root, the test plays the device on the other side.
class PtyNode {
 public:
  PtyNode();

  const std::string& terminalPath() const { return terminalPath_; }
  void write(const Bytes& bytes);
  // Reads what the host wrote, waiting for `count` bytes at most `limit`.
  Bytes read(std::size_t count, std::chrono::milliseconds limit = 5s);
  // Unplugs the device: the host's side reads end of file.
  void hangUp();

 private:
  os::UniqueFd controller_;
  std::string terminalPath_;
};

}  // namespace ostest
