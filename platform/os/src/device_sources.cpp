#include "device_source.h"
#include "hidraw_source.h"
#include "virtual_source.h"

namespace os::hid {

std::vector<std::shared_ptr<const DeviceSource>> currentDeviceSources() {
  return {HidrawSource::fromEnvironment(), VirtualSource::fromEnvironment()};
}

}  // namespace os::hid
