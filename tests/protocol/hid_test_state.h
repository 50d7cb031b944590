// The HID module's state as tests set it up: the globals back to their start-up values, and
// a device's answer to QUERY_DEVICE for a given memory layout. Header-only, so that every
// build of the protocol (shipped, debug aids, other targets) gets its own.
#pragma once

#include <cstdint>
#include <vector>

#include "hid.h"
#include "memory_block.h"

namespace hid_test {

inline void ResetHidGlobals() {
  HID::ReleaseGlobals();
  HID::VendorID = HID::ProductID = 0;
  HID::DeviceFound = false;
  HID::memoryRegionsDetected = HID::BytesPerPacket = HID::DeviceFamily = HID::bytesPerAddress = 0;
}

// The answer to QUERY_DEVICE listing these regions (anything with type, address and size),
// followed by the end marker unless endMarker is false.
template <class Layout>
fw::Ref<fw::MemoryBlock> QueryAnswer(const std::vector<Layout>& regions, uint8_t bytesPerPacket, uint8_t family,
                                     bool endMarker = true) {
  auto answer = fw::NewMemoryBlock(64);
  answer->SetUInt8Value(0, 2);
  answer->SetUInt8Value(1, bytesPerPacket);
  answer->SetUInt8Value(2, family);
  size_t pos = 3;
  for (const Layout& region : regions) {
    answer->SetUInt8Value(pos, region.type);
    answer->SetUInt32Value(pos + 1, static_cast<uint32_t>(region.address));
    answer->SetUInt32Value(pos + 5, static_cast<uint32_t>(region.size));
    pos += 9;
  }
  if (endMarker && pos < answer->Size()) answer->SetUInt8Value(pos, 255);
  return answer;
}

}  // namespace hid_test
