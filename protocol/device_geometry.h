// What a device's answer to QUERY_DEVICE says about how to address it.
#pragma once

#include <cstdint>

#include "memory_block.h"

namespace HID {

// Takes a QUERY_DEVICE answer's packet size and device family into BytesPerPacket and
// DeviceFamily, and the family's bytes per address into bytesPerAddress. False for a family
// this program does not know, which leaves bytesPerAddress as it was.
bool TakeDeviceGeometry(const fw::MemoryBlock& answer);

// Image bytes per device address for a device family: 1 for families 1 and 3, 2 for
// family 2; 0 for a family this program does not know.
int32_t BytesPerAddressOfFamily(int32_t family);

// Whether programming and verification can move a device's memory in packets of this size:
// at least one byte, no more than a packet's data field holds, and whole addresses.
bool PacketSizeFits(int32_t bytesPerPacket, int32_t bytesPerAddress);

// Image bytes per address as a region image is laid out: the device's, or 1 while no known
// family has been seen.
int32_t ImageBytesPerAddress();

}  // namespace HID
