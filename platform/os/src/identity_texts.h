// What the device sources read out of the small texts that tell who a device is: a hidraw
// node's sysfs uevent and a virtual device's props file. Apart from the sources, so that
// the parsing can be tested (and fuzzed) on texts alone, without files or sockets.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "device_source.h"

namespace os::hid {

using Properties = std::map<std::string, std::string, std::less<>>;

// From a uevent text's KEY=VALUE lines: vendor and product from HID_ID
// ("0003:00001234:00005678": bus, vendor, product in hex), the product name and serial
// number from HID_NAME and HID_UNIQ where they are not empty. Nothing else is told.
DeviceIdentity ueventIdentity(std::string_view uevent);

// From a props file's KEY=VALUE lines: VendorID, ProductID and VersionNumber in decimal,
// Manufacturer, Product and SerialNumber as they stand.
DeviceIdentity propsIdentity(const Properties& properties);

// The decimal number under key; nothing when the key is missing or its value no number.
std::optional<std::int64_t> numberProperty(const Properties& properties, std::string_view key);

}  // namespace os::hid
