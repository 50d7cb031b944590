// A device as the registry hands it out: where it came from and what it told about itself
// when it was enumerated.
#pragma once

#include <memory>

#include "device_source.h"

namespace os::hid {

struct RegistryEntry {
  std::shared_ptr<const DeviceSource> source;
  DeviceRecord record;
};

}  // namespace os::hid
