#include "devsim/memory.h"

#include <algorithm>

namespace devsim {

namespace {

// The "old firmware" byte at a memory byte position; the same on every run.
std::uint8_t oldFirmwareByte(std::uint64_t bytePosition) {
  // A mixing function rather than a generator, so that a byte does not depend on which
  // regions exist or on the order they are filled in.
  std::uint64_t x = bytePosition + 0x9E3779B97F4A7C15u;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
  x ^= x >> 31;
  return static_cast<std::uint8_t>(x);
}

}  // namespace

std::size_t bytesPerAddressUnit(std::uint8_t family) {
  // Family 2 devices hold two bytes per address (a 16-bit word); the others one. The rest of
  // the memory follows from this one place.
  return family == 2 ? 2 : 1;
}

DeviceMemory::DeviceMemory(std::span<const RegionLayout> regions, std::uint8_t family,
                           std::optional<std::uint8_t> initialFill)
    : bytesPerAddress_(bytesPerAddressUnit(family)) {
  regions_.reserve(regions.size());
  for (const RegionLayout& layout : regions) {
    RegionMemory region{layout, std::vector<std::uint8_t>(std::size_t{layout.size} * bytesPerAddress_)};
    if (initialFill) {
      std::fill(region.bytes.begin(), region.bytes.end(), *initialFill);
    } else {
      const std::uint64_t first = std::uint64_t{layout.address} * bytesPerAddress_;
      for (std::size_t i = 0; i < region.bytes.size(); ++i) region.bytes[i] = oldFirmwareByte(first + i);
    }
    regions_.push_back(std::move(region));
  }
}

void DeviceMemory::erase() {
  for (RegionMemory& region : regions_) {
    if (region.layout.type != kProtectedRegionType) std::fill(region.bytes.begin(), region.bytes.end(), 0xFF);
  }
}

std::optional<DeviceMemory::Location> DeviceMemory::locate(std::uint32_t address, std::size_t index) const {
  const std::uint64_t unit = std::uint64_t{address} + index / bytesPerAddress_;
  for (std::size_t r = 0; r < regions_.size(); ++r) {
    const RegionLayout& layout = regions_[r].layout;
    if (unit >= layout.address && unit < std::uint64_t{layout.address} + layout.size) {
      return Location{r, static_cast<std::size_t>(unit - layout.address) * bytesPerAddress_ + index % bytesPerAddress_};
    }
  }
  return std::nullopt;
}

std::size_t DeviceMemory::program(std::uint32_t address, std::span<const std::uint8_t> data) {
  std::size_t outside = 0;
  for (std::size_t j = 0; j < data.size(); ++j) {
    if (auto where = locate(address, j)) {
      regions_.at(where->region).bytes.at(where->offset) &= data[j];
    } else {
      ++outside;
    }
  }
  return outside;
}

std::vector<std::uint8_t> DeviceMemory::read(std::uint32_t address, std::size_t count) const {
  std::vector<std::uint8_t> out(count, 0xFF);
  for (std::size_t j = 0; j < count; ++j) {
    if (auto where = locate(address, j)) out[j] = regions_.at(where->region).bytes.at(where->offset);
  }
  return out;
}

}  // namespace devsim
