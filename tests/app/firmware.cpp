#include "firmware.h"

#include <algorithm>
#include <fstream>

#include "logopack/firmware_image.h"
#include "logopack/intel_hex_writer.h"
#include "zuv_utilities.h"

namespace app_test {

Firmware FirmwareFor(const std::vector<Region>& regions, int bytesPerAddress) {
  Firmware firmware{regions, bytesPerAddress, {}, {}};
  logopack::FirmwareImage image;
  uint32_t seed = 0x2545F491;
  for (const Region& region : regions) {
    std::vector<uint8_t> bytes;
    if (region.type != 3) {
      bytes.resize(size_t{region.size} * static_cast<size_t>(bytesPerAddress));
      for (uint8_t& byte : bytes) {
        seed = seed * 1103515245 + 12345;
        byte = static_cast<uint8_t>(seed >> 16);
      }
      // Text addresses are device addresses times the bytes per address, in 32 bits.
      if (!bytes.empty()) image.segments.push_back({region.address * static_cast<uint32_t>(bytesPerAddress), bytes});
    }
    firmware.bytes.push_back(std::move(bytes));
  }
  std::sort(image.segments.begin(), image.segments.end(),
            [](const logopack::Segment& a, const logopack::Segment& b) { return a.address < b.address; });
  firmware.intelHex = logopack::writeLoaderHex(image);
  return firmware;
}

std::vector<std::vector<uint8_t>> ReadMemoryDump(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::vector<uint8_t>> regions;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("REGION ")) {
      regions.emplace_back();
      continue;
    }
    if (regions.empty()) continue;
    const std::string bytes = DecodingFromHexZuv(line);
    regions.back().insert(regions.back().end(), bytes.begin(), bytes.end());
  }
  return regions;
}

}  // namespace app_test
