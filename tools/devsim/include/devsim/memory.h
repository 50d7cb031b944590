// The device's flash: the regions it reports, each holding its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "devsim/options.h"

namespace devsim {

// Memory bytes held by one device address unit. The one place that knows what a
// device family means for addressing.
std::size_t bytesPerAddressUnit(std::uint8_t family);

struct RegionMemory {
  RegionLayout layout;
  std::vector<std::uint8_t> bytes;  // layout.size address units of bytesPerAddressUnit bytes each
};

// Region type that survives an erase (the bootloader's own configuration area).
inline constexpr std::uint8_t kProtectedRegionType = 3;

class DeviceMemory {
 public:
  // Regions are assumed not to overlap (validateOptions checks it). Without a fill byte
  // every region starts with a fixed pseudo-random pattern, standing in for an old
  // firmware that an update must erase before it writes.
  DeviceMemory(std::span<const RegionLayout> regions, std::uint8_t family, std::optional<std::uint8_t> initialFill);

  // Every region becomes 0xFF, except the protected ones.
  void erase();

  // Writes the way flash does: each bit only goes from 1 to 0 until the next erase.
  // Data byte j belongs to memory byte j of the run that starts at `address`. Returns how
  // many bytes fell outside every region (they are dropped).
  std::size_t program(std::uint32_t address, std::span<const std::uint8_t> data);

  // `count` memory bytes from `address` on; 0xFF where no region is.
  std::vector<std::uint8_t> read(std::uint32_t address, std::size_t count) const;

  const std::vector<RegionMemory>& regions() const { return regions_; }
  std::size_t bytesPerAddress() const { return bytesPerAddress_; }

 private:
  struct Location {
    std::size_t region;
    std::size_t offset;
  };
  // Memory byte `index` of the run starting at `address`.
  std::optional<Location> locate(std::uint32_t address, std::size_t index) const;

  std::size_t bytesPerAddress_;
  std::vector<RegionMemory> regions_;
};

}  // namespace devsim
