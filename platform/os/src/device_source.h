// The one point through which all device I/O goes. A device source lists the devices it
// knows, tells whether one is still there, and opens it as a channel that sends output
// reports and reads input reports. Two sources live side by side: hidraw (the system's
// devices) and virtual (the device simulator).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "os/iokit_hid.h"

namespace os::hid {

// What a device tells about itself; a property it does not tell is empty.
struct DeviceIdentity {
  std::optional<std::int64_t> vendorId;
  std::optional<std::int64_t> productId;
  std::optional<std::int64_t> versionNumber;
  std::optional<std::string> manufacturer;
  std::optional<std::string> product;
  std::optional<std::string> serialNumber;
};

struct DeviceRecord {
  std::string location;  // the source's own name for the device
  DeviceIdentity identity;
};

struct InputReport {
  enum class Status { Report, NothingYet, Gone };
  Status status;
  std::size_t length;  // bytes copied, for Status::Report
};

class DeviceChannel {
 public:
  virtual ~DeviceChannel() = default;
  // Readable when an input report waits or the device has gone.
  virtual int descriptor() const = 0;
  // Sends `report` with `reportId` as its first byte, waiting at most `timeout` for the
  // device to take it.
  virtual IOReturn send(std::uint8_t reportId, std::span<const std::uint8_t> report,
                        std::chrono::milliseconds timeout) = 0;
  // Takes one waiting input report and copies as much of it as fits into `into`.
  virtual InputReport receive(std::span<std::uint8_t> into) = 0;
};

struct OpenResult {
  static OpenResult deviceAbsent() {
    OpenResult result;
    result.absent = true;
    return result;
  }

  std::unique_ptr<DeviceChannel> channel;  // null on failure
  // The device is gone, or no longer to be trusted: nothing was opened, and that is no
  // fault to report.
  bool absent = false;
  std::string node;  // what was opened, for messages
  int error = 0;     // errno on failure
};

class DeviceSource {
 public:
  virtual ~DeviceSource() = default;
  virtual std::vector<DeviceRecord> enumerate() const = 0;
  virtual bool isPresent(const std::string& location) const = 0;
  // Checks presence again first: the device may have gone since it was listed.
  virtual OpenResult open(const std::string& location) const = 0;
};

// This machine's sources in enumeration order (hidraw first, then virtual), placed where
// the environment says at the moment of the call.
std::vector<std::shared_ptr<const DeviceSource>> currentDeviceSources();

}  // namespace os::hid
