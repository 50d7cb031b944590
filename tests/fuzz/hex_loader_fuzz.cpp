// The Intel HEX loader (mainWindow::ReadFile) over the firmware texts an update may carry
// and the region lists a device of family 1, 2 or 3 may report. Half of the inputs are the
// text as it stands; the other half are built record by record, mostly well-formed and
// aimed at the regions, so that the fuzzer reaches the writing of region images quickly.
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "fuzz_support.h"
#include "hid.h"
#include "main_window.h"
#include "region_lists.h"

namespace {

using fuzz::FuzzInput;

constexpr char kDigits[] = "0123456789ABCDEF";

std::string HexByte(uint8_t byte, bool lowerCase) {
  std::string text{kDigits[byte >> 4], kDigits[byte & 0x0F]};
  if (lowerCase) {
    for (char& c : text) c = static_cast<char>(c >= 'A' ? c - 'A' + 'a' : c);
  }
  return text;
}

// One record line without its line end; checksumSkew 0 gives the right checksum.
std::string Record(uint8_t count, uint16_t address, uint8_t type, const std::string& data, uint8_t checksumSkew,
                   bool lowerCase) {
  std::vector<uint8_t> bytes{count, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  uint8_t sum = 0;
  std::string line = ":";
  for (uint8_t byte : bytes) {
    sum = static_cast<uint8_t>(sum + byte);
    line += HexByte(byte, lowerCase);
  }
  return line + HexByte(static_cast<uint8_t>(-sum + checksumSkew), lowerCase);
}

std::string LineEnd(FuzzInput& in) {
  switch (in.Index(16)) {
    case 0: return "\n";
    case 1: return "\r";
    case 2: return "";
    case 3: return "\r\n ";  // white space before the next start code, which the loader lets pass
    default: return "\r\n";
  }
}

// A text address for a data record: mostly in or near one of the regions, where the loader
// writes, else anywhere.
uint32_t TargetAddress(FuzzInput& in) {
  const int32_t bytesPerAddress = HID::ImageBytesPerAddress();
  if (HID::MemoryRegions.empty() || in.Index(8) == 0) return in.Integral<uint32_t>();
  const MemoryRegion& region = *HID::MemoryRegions[in.Index(HID::MemoryRegions.size())];
  const int64_t first = int64_t{region.Address} * bytesPerAddress;
  const int64_t span = int64_t{region.Size} * bytesPerAddress;
  const int64_t offset = in.Bool() ? span - in.InRange<int64_t>(-8, 24) : in.InRange<int64_t>(-8, span + 8);
  return static_cast<uint32_t>(first + offset);
}

std::string BuiltText(FuzzInput& in) {
  std::string text;
  uint32_t upper = 0;
  const bool lowerCase = in.Index(8) == 0;
  const size_t records = in.InRange<size_t>(0, 48);
  for (size_t i = 0; i < records && !in.Empty(); ++i) {
    const uint8_t skew = in.Index(32) == 0 ? in.Byte() : 0;
    switch (in.Index(8)) {
      case 0:  // extended linear address, of any length the fuzzer picks now and then
        upper = in.Integral<uint16_t>();
        text += Record(2, 0, 4, std::string{static_cast<char>(upper >> 8), static_cast<char>(upper)}, skew, lowerCase);
        break;
      case 1: {  // another record type, or bytes as they come
        const std::string data = in.String(8);
        text += in.Bool() ? Record(static_cast<uint8_t>(data.size()), in.Integral<uint16_t>(), in.Byte(), data, skew,
                                   lowerCase)
                          : in.String(80);
        break;
      }
      case 2:
        text += Record(0, 0, 1, "", skew, lowerCase);
        break;
      default: {  // data, in a region or near one; a new upper address first where needed
        const uint32_t address = TargetAddress(in);
        if (address >> 16 != upper) {
          upper = address >> 16;
          text += Record(2, 0, 4, std::string{static_cast<char>(upper >> 8), static_cast<char>(upper)}, 0, lowerCase) +
                  "\r\n";
        }
        const std::string data = in.String(in.Index(16) == 0 ? 255 : 32);
        text += Record(static_cast<uint8_t>(data.size()), static_cast<uint16_t>(address), 0, data, skew, lowerCase);
        break;
      }
    }
    text += LineEnd(in);
  }
  if (in.Bool()) text += ":00000001FF\r\n";
  return text;
}

// What the loader must leave alone: every image keeps its length, and the bytes from one
// address unit past the region's end on, which no record may reach, stay 0.
void CheckImages(const std::vector<size_t>& lengths) {
  const int64_t bytesPerAddress = HID::ImageBytesPerAddress();
  fuzz::Check(lengths.size() == HID::MemoryRegions.size(), "the loader changed the region list");
  for (size_t i = 0; i < lengths.size(); ++i) {
    const MemoryRegion& region = *HID::MemoryRegions[i];
    fuzz::Check(region.data->Size() == lengths[i], "the loader changed an image's length");
    const std::span<const uint8_t> bytes = std::as_const(*region.data).Bytes();
    const size_t untouched = static_cast<size_t>((int64_t{region.Size} + 1) * bytesPerAddress);
    for (uint8_t byte : bytes.subspan(std::min(untouched, bytes.size()))) {
      fuzz::Check(byte == 0, "the loader wrote past the limit of a region");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietProcess();
  static const fw::Ref<class mainWindow> window = fw::MakeRef<class mainWindow>();
  const fuzz::StrayAccessGuard guard;
  FuzzInput in(std::span<const uint8_t>(data, size));

  const int32_t family = in.InRange<int32_t>(1, 3);
  fuzz::ResetDevice(family, 56);
  // Regions of up to 1 MiB: the loader's arithmetic is the same for larger ones, and images of
  // the largest accepted size (the memory_regions target makes those) cost milliseconds each.
  if (!fuzz::ParseRegions(in, 1024 * 1024)) fuzz::ResetDevice(family, 56);
  std::vector<size_t> lengths;
  for (const fw::Ref<MemoryRegion>& region : HID::MemoryRegions) lengths.push_back(region->data->Size());

  HID::datafile = in.Bool() ? in.RemainingBytes() : BuiltText(in);
  window->ReadFile();
  CheckImages(lengths);
  return 0;
}
