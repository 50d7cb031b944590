// The system's HID devices through Linux hidraw: identity from sysfs, reports through the
// /dev node.
#pragma once

#include <filesystem>

#include "device_source.h"

namespace os::hid {

class HidrawSource final : public DeviceSource {
 public:
  // `sysfsRoot` holds the hidrawN folders (normally /sys/class/hidraw), `devRoot` the
  // hidrawN nodes (normally /dev). Locations are the node names, "hidraw0".
  HidrawSource(std::filesystem::path sysfsRoot, std::filesystem::path devRoot);
  // Placed by UPDATER_HIDRAW_SYSFS_ROOT and UPDATER_HIDRAW_DEV_ROOT where they are set.
  static std::shared_ptr<const HidrawSource> fromEnvironment();

  std::vector<DeviceRecord> enumerate() const override;
  bool isPresent(const std::string& location) const override;
  OpenResult open(const std::string& location) const override;

 private:
  DeviceIdentity identityOf(const std::string& location) const;

  std::filesystem::path sysfsRoot_;
  std::filesystem::path devRoot_;
};

}  // namespace os::hid
