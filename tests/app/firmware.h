// Firmware for the simulated device's memory layout, and the simulator's memory dump read
// back, for tests that compare what the device holds with what the update carried.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace app_test {

// One memory region of the simulated device: type, address and size in address units.
struct Region {
  uint8_t type;
  uint32_t address;
  uint32_t size;
};

// Firmware bytes for every region but those of type 3, the same for the same layout.
struct Firmware {
  std::vector<Region> regions;
  int bytesPerAddress = 1;
  std::vector<std::vector<uint8_t>> bytes;  // one image per region, empty for type 3
  std::string intelHex;                     // as the packing tool stores it
};
Firmware FirmwareFor(const std::vector<Region>& regions, int bytesPerAddress = 1);

// The regions as the simulator's memory dump gives them, in order: each region's bytes.
std::vector<std::vector<uint8_t>> ReadMemoryDump(const std::filesystem::path& path);

}  // namespace app_test
