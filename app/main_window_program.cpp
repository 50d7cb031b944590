// The sixth step of the update: the region images into the device, packet by packet.
#include <cstdint>

#include "background_task.h"
#include "command_packets.h"
#include "device_geometry.h"
#include "hid.h"
#include "main_window.h"

namespace {

// Moves the n bytes that end a region, which sit at block byte (58 - perPacket) on, to the
// end of the block and clears everything in front of them. Works from the last byte down, so
// that no byte is overwritten before it has moved.
void RightAlign(fw::MemoryBlock& block, int32_t perPacket, int32_t n) {
  const int32_t firstByte = HID::MaxDataBytes - perPacket;
  for (int32_t k = 0; k < HID::MaxDataBytes; ++k) {
    const auto to = static_cast<size_t>(HID::MaxDataBytes - 1 - k);
    const uint8_t value = k < n ? block.UInt8Value(static_cast<size_t>(firstByte + n - 1 - k)) : 0;
    block.SetUInt8Value(to, value);
    fw::RuntimeBackgroundTask();
  }
}

}  // namespace

void mainWindow::Work4() {
  if (!PacketSizeUsable()) return;
  info->SetText("Writing new firmware to device...");
  info->Refresh(true);
  const fw::Ref<fw::MemoryBlock> block = fw::NewMemoryBlock(HID::MaxDataBytes);
  block->LittleEndian = true;
  // The query step admits only sizes from 1 to 58 bytes that hold whole addresses.
  const int32_t perPacket = HID::BytesPerPacket;
  const int64_t bytesPerAddress = HID::ImageBytesPerAddress();
  const size_t regions = HID::DetectedRegionCount();

  for (size_t i = 0; i < regions; ++i) {
    const MemoryRegion& region = *HID::MemoryRegions[i];
    if (region.Type == 3) {
      fw::RuntimeBackgroundTask();
      continue;
    }
    // Each address holds bytesPerAddress image bytes; a packet of n bytes covers n divided by
    // that many addresses. 64-bit, so that a region ending at the top of the range is safe.
    const int64_t imageBytes = int64_t{region.Size} * bytesPerAddress;
    int64_t address = region.Address;
    int64_t index = 0;
    while (index < imageBytes) {
      const int64_t chunkStart = address;
      bar->SetValue(static_cast<int32_t>((address - region.Address) * 100 / region.Size));
      bar->Refresh(true);
      int32_t n = perPacket;
      for (int32_t j = 0; j < perPacket; ++j) {
        const uint8_t byte = region.data ? region.data->UInt8Value(static_cast<size_t>(index)) : 0xFF;
        block->SetUInt8Value(static_cast<size_t>(HID::MaxDataBytes - perPacket + j), byte);
        ++index;
        if (index >= imageBytes) {
          n = j + 1;
          RightAlign(*block, perPacket, n);
          break;
        }
        fw::RuntimeBackgroundTask();
      }
      address += n / bytesPerAddress;
      HID::SendCommand(HID::GetProgramDeviceCommand(static_cast<int32_t>(chunkStart), n, block->ToString()));
      fw::RuntimeBackgroundTask();
    }
    HID::SendCommand(HID::GetProgramCompleteCommand());
    fw::RuntimeBackgroundTask();
  }
  bar->SetValue(100);
  StartNext();
}
