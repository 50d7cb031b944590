// The device simulator's virtual devices: one listening SOCK_SEQPACKET socket "<name>.sock"
// and one "<name>.props" file (Key=Value lines) per device in one folder. Every datagram
// carries the report id in byte 0, then the report. Only the user's own devices count: a
// folder that is a link, belongs to someone else or that others may write to is ignored
// whole, and so is a device whose files belong to someone else.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "device_source.h"
#include "identity_texts.h"

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
  struct Lookup {
    std::optional<Properties> properties;  // while the socket is there and the simulator runs
    std::string distrust;                  // why files that are there were not trusted
  };
  Lookup lookUp(const std::string& location) const;

  std::filesystem::path directory_;
};

}  // namespace os::hid
