#include "device_geometry.h"

#include "command_packets.h"
#include "hid.h"

namespace HID {

int32_t BytesPerAddressOfFamily(int32_t family) {
  switch (family) {
    case 1: return 1;
    case 2: return 2;
    case 3: return 1;
    default: return 0;
  }
}

bool PacketSizeFits(int32_t bytesPerPacket, int32_t bytesPerAddress) {
  return bytesPerAddress > 0 && bytesPerPacket >= 1 && bytesPerPacket <= MaxDataBytes &&
         bytesPerPacket % bytesPerAddress == 0;
}

bool TakeDeviceGeometry(const fw::MemoryBlock& answer) {
  BytesPerPacket = AnswerByte(answer, BytesPerPacketOffset);
  DeviceFamily = AnswerByte(answer, DeviceFamilyOffset);
  const int32_t familyBytesPerAddress = BytesPerAddressOfFamily(DeviceFamily);
  if (familyBytesPerAddress == 0) return false;
  bytesPerAddress = familyBytesPerAddress;
  return true;
}

int32_t ImageBytesPerAddress() { return bytesPerAddress == 2 ? 2 : 1; }

}  // namespace HID
