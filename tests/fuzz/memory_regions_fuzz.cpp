// HID::ParseMemoryRegions over QUERY_DEVICE answers of any bytes and length (64 as the device
// sends them, shorter and longer too, or none at all), parsed one after the other as repeated
// queries of the debug console parse them: the list grows with every answer, and all images
// together must stay within HID::MaxImageBytes.
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "command_packets.h"
#include "device_geometry.h"
#include "fuzz_input.h"
#include "fuzz_support.h"
#include "hid.h"
#include "region_lists.h"

namespace {

using fuzz::Check;
using fuzz::FuzzInput;

fw::Ref<fw::MemoryBlock> Answer(FuzzInput& in) {
  const size_t kind = in.Index(8);
  if (kind == 0) return nullptr;
  const size_t length = kind < 6 ? HID::PacketSize : in.InRange<size_t>(0, 100);
  const fw::Ref<fw::MemoryBlock> answer = fw::MakeRef<fw::MemoryBlock>(in.Bytes(length));
  return answer;
}

// What every region in the list must be, whatever answers were parsed.
void CheckRegions(size_t checkedBefore) {
  const int64_t bytesPerAddress = HID::ImageBytesPerAddress();
  Check(HID::memoryRegionsDetected == static_cast<int32_t>(HID::MemoryRegions.size()),
        "memoryRegionsDetected does not count the list");
  int64_t held = 0;
  for (size_t i = 0; i < HID::MemoryRegions.size(); ++i) {
    const MemoryRegion& region = *HID::MemoryRegions[i];
    Check(region.data != nullptr, "a region without an image");
    Check(region.Size >= 0 && region.Size <= HID::MaxRegionSize, "a region size out of range");
    Check(region.Type >= 0 && region.Type < HID::RegionEndMarker, "a region type out of range");
    const int64_t first = int64_t{region.Address} * bytesPerAddress;
    const int64_t end = (int64_t{region.Address} + region.Size) * bytesPerAddress;
    // The last byte may be 0x7FFFFFFF: the end, one past it, may be 2^31.
    Check(first >= INT32_MIN && end <= int64_t{INT32_MAX} + 1, "a region's bytes leave the 32-bit range");
    Check(int64_t{static_cast<uint32_t>(region.Address)} + region.Size <= int64_t{UINT32_MAX} + 1,
          "a region runs past the last address 0xFFFFFFFF");
    const int64_t imageBytes = int64_t{region.Size} * bytesPerAddress;
    Check(static_cast<int64_t>(region.data->Size()) == imageBytes + 10, "an image of the wrong length");
    held += static_cast<int64_t>(region.data->Size());
    if (i < checkedBefore) continue;
    // New images: erased flash, then ten zero bytes. Both ends are looked at; the whole of a
    // large image would cost more than making it.
    const std::span<const uint8_t> bytes = std::as_const(*region.data).Bytes();
    const std::span<const uint8_t> flash = bytes.first(bytes.size() - 10);
    const size_t ends = std::min<size_t>(flash.size(), 4096);
    const auto erased = [](uint8_t b) { return b == 0xFF; };
    Check(std::all_of(flash.begin(), flash.begin() + static_cast<std::ptrdiff_t>(ends), erased) &&
              std::all_of(flash.end() - static_cast<std::ptrdiff_t>(ends), flash.end(), erased),
          "an image not preset to 0xFF");
    Check(std::all_of(bytes.end() - 10, bytes.end(), [](uint8_t b) { return b == 0; }), "spare bytes not 0");
  }
  Check(held <= HID::MaxImageBytes, "the images together take more than the cap");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietProcess();
  const fuzz::StrayAccessGuard guard;
  FuzzInput in(std::span<const uint8_t>(data, size));
  // Family 0 stands for one the program does not know (one byte per address, as before any
  // query).
  fuzz::ResetDevice(in.InRange<int32_t>(0, 3), 56);

  const size_t answers = in.InRange<size_t>(1, 24);
  for (size_t i = 0; i < answers; ++i) {
    const size_t before = HID::MemoryRegions.size();
    const bool parsed = HID::ParseMemoryRegions(Answer(in));
    const size_t added = HID::MemoryRegions.size() - before;
    Check(parsed || added == 0, "a refused answer added regions");
    Check(added <= static_cast<size_t>(HID::MaxRegions), "more than six regions from one answer");
    CheckRegions(before);
  }
  return 0;
}
