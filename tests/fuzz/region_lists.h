// Region lists as a device reports them: a QUERY_DEVICE answer made from fuzz input, with up
// to six records whose types, addresses and sizes all pass ParseMemoryRegions' checks, parsed
// into HID::MemoryRegions as the first update step parses it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "command_packets.h"
#include "device_geometry.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "hid.h"
#include "memory_block.h"

namespace fuzz {

// Forgets what an earlier input left in the HID module.
inline void ResetDevice(int32_t family, int32_t bytesPerPacket) {
  HID::MemoryRegions.clear();
  HID::memoryRegionsDetected = 0;
  HID::DeviceFamily = family;
  HID::bytesPerAddress = HID::BytesPerAddressOfFamily(family);
  HID::BytesPerPacket = bytesPerPacket;
}

// A size in address units: mostly small, so that an input runs fast; one in 256 up to the
// largest region the program accepts, whose image alone takes milliseconds to make.
inline int32_t RegionSize(FuzzInput& in, int32_t largest) {
  const size_t kind = in.Index(256);
  if (kind < 128) return in.InRange<int32_t>(0, std::min(largest, 64));
  if (kind < 200) return in.InRange<int32_t>(0, std::min(largest, 4096));
  if (kind < 255) return in.InRange<int32_t>(0, std::min(largest, 0x20000));
  return in.InRange<int32_t>(0, largest);
}

// A first address whose region's bytes all have signed 32-bit addresses and whose last
// address is at most 0xFFFFFFFF: near 0, in the first megabyte, at the very top, or anywhere.
inline int32_t RegionAddress(FuzzInput& in, int32_t size, int32_t bytesPerAddress) {
  const int64_t lowest = INT32_MIN / bytesPerAddress;
  // The region's last byte may be 0x7FFFFFFF.
  const int64_t highest = (int64_t{INT32_MAX} + 1) / bytesPerAddress - size;
  switch (in.Index(4)) {
    case 0: return in.InRange<int32_t>(0, 0x2000);
    case 1: return in.InRange<int32_t>(0, 0xFFFFF);
    case 2: return static_cast<int32_t>(highest - in.InRange<int64_t>(0, 0x1000));
    default: {
      const int64_t address = in.InRange<int64_t>(lowest, highest);
      // Below 0 read as unsigned, the region may end at 0xFFFFFFFF but not run on into 0.
      return static_cast<int32_t>(address < 0 && address + size > 0 ? -int64_t{size} : address);
    }
  }
}

// Up to six regions; types from 0 to 254 (255 ends the list). Returns what the parse said.
inline bool ParseRegions(FuzzInput& in, int32_t largestSize) {
  const fw::Ref<fw::MemoryBlock> answer = fw::NewMemoryBlock(HID::PacketSize);
  answer->SetUInt8Value(0, 2);
  answer->SetUInt8Value(1, static_cast<uint8_t>(HID::BytesPerPacket));
  answer->SetUInt8Value(2, static_cast<uint8_t>(HID::DeviceFamily));
  const int regions = in.InRange<int>(0, HID::MaxRegions);
  size_t pos = HID::FirstRegionRecordOffset;
  for (int i = 0; i < regions; ++i, pos += HID::RegionRecordSize) {
    const int32_t size = RegionSize(in, largestSize);
    answer->SetUInt8Value(pos, in.InRange<uint8_t>(0, 254));
    answer->SetInt32Value(pos + 1, RegionAddress(in, size, HID::ImageBytesPerAddress()));
    answer->SetInt32Value(pos + 5, size);
  }
  if (regions < HID::MaxRegions) answer->SetUInt8Value(pos, HID::RegionEndMarker);
  return HID::ParseMemoryRegions(answer);
}

}  // namespace fuzz
