// The device simulator's virtual devices: one listening SOCK_SEQPACKET socket "<name>.sock"
// and one "<name>.props" file (Key=Value lines) per device in one folder. Every datagram
// carries the report id in byte 0, then the report.
#pragma once

#include <filesystem>
#include <map>
#include <optional>

#include "device_source.h"

namespace os::hid {

class VirtualSource final : public DeviceSource {
 public:
  // Locations are the device names, "<name>" of "<name>.sock".
  explicit VirtualSource(std::filesystem::path directory);
  // UPDATER_VIRTUAL_HID_DIR, else $XDG_RUNTIME_DIR/trovak-hid, else /tmp/trovak-hid-<uid>.
  static std::shared_ptr<const VirtualSource> fromEnvironment();

  std::vector<DeviceRecord> enumerate() const override;
  bool isPresent(const std::string& location) const override;
  OpenResult open(const std::string& location) const override;

 private:
  using Properties = std::map<std::string, std::string, std::less<>>;
  // The props of a device whose socket is there and whose simulator still runs.
  std::optional<Properties> livePropertiesOf(const std::string& location) const;

  std::filesystem::path directory_;
};

}  // namespace os::hid
