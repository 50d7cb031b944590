#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "devsim/memory.h"

namespace devsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::vector<RegionLayout> kRegions = {{0, 0x800, 0x100}, {3, 0x2000, 8}, {1, 0x900, 4}};

TEST(DevsimMemory, OldFirmwareIsAFixedPatternUnlessFilled) {
  DeviceMemory first(kRegions, 1, std::nullopt);
  DeviceMemory second(kRegions, 1, std::nullopt);
  Bytes old = first.read(0x800, 0x100);
  EXPECT_EQ(old, second.read(0x800, 0x100));
  // Not erased flash, and not a constant: programming over it without erase must show.
  EXPECT_LT(std::count(old.begin(), old.end(), 0xFF), 16);
  EXPECT_GT(std::set<std::uint8_t>(old.begin(), old.end()).size(), 64u);

  DeviceMemory filled(kRegions, 1, std::uint8_t{0x00});
  EXPECT_EQ(filled.read(0x800, 4), Bytes(4, 0x00));
}

TEST(DevsimMemory, EraseSparesTheProtectedRegion) {
  DeviceMemory memory(kRegions, 1, std::nullopt);
  const Bytes protectedBefore = memory.read(0x2000, 8);
  memory.erase();
  EXPECT_EQ(memory.read(0x800, 0x100), Bytes(0x100, 0xFF));
  EXPECT_EQ(memory.read(0x900, 4), Bytes(4, 0xFF));
  EXPECT_EQ(memory.read(0x2000, 8), protectedBefore);
}

TEST(DevsimMemory, ProgrammingOnlyClearsBits) {
  DeviceMemory memory(kRegions, 1, std::nullopt);
  memory.erase();
  EXPECT_EQ(memory.program(0x810, Bytes{0xF0, 0x0F}), 0u);
  EXPECT_EQ(memory.program(0x810, Bytes{0x3C, 0xFF}), 0u);
  EXPECT_EQ(memory.read(0x810, 2), (Bytes{0x30, 0x0F}));

  DeviceMemory unerased(kRegions, 1, std::nullopt);
  const Bytes old = unerased.read(0x820, 1);
  unerased.program(0x820, Bytes{0x5A});
  EXPECT_EQ(unerased.read(0x820, 1), Bytes{static_cast<std::uint8_t>(old[0] & 0x5A)});
}

TEST(DevsimMemory, BytesOutsideRegionsAreDroppedAndCounted) {
  DeviceMemory memory(kRegions, 1, std::uint8_t{0xFF});
  // Two bytes at the end of the first region, two in the gap before the next.
  EXPECT_EQ(memory.program(0x8FE, Bytes{1, 2, 3, 4}), 0u);  // 0x900 starts the next region
  EXPECT_EQ(memory.read(0x8FE, 4), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(memory.program(0x902, Bytes{5, 6, 7, 8}), 2u);
  EXPECT_EQ(memory.read(0x902, 4), (Bytes{5, 6, 0xFF, 0xFF}));
  EXPECT_EQ(memory.program(0xFFFFFFFE, Bytes{0, 0, 0, 0}), 4u);  // runs past 32 bits
  EXPECT_EQ(memory.read(0x5000, 3), Bytes(3, 0xFF));
}

TEST(DevsimMemory, FamilyTwoHoldsTwoBytesPerAddressEveryOtherOne) {
  for (int family = 0; family <= 255; ++family) {
    EXPECT_EQ(bytesPerAddressUnit(static_cast<std::uint8_t>(family)), family == 2 ? 2u : 1u) << family;
  }
  // Two bytes per address: a packet of four bytes covers two addresses, and the read back
  // counts the same way.
  DeviceMemory memory(std::vector<RegionLayout>{{0, 0x800, 4}}, 2, std::uint8_t{0xFF});
  EXPECT_EQ(memory.program(0x801, Bytes{1, 2, 3, 4}), 0u);
  EXPECT_EQ(memory.read(0x800, 8), (Bytes{0xFF, 0xFF, 1, 2, 3, 4, 0xFF, 0xFF}));
  EXPECT_EQ(memory.program(0x803, Bytes{5, 6, 7, 8}), 2u) << "the second address lies past the region";
}

}  // namespace
}  // namespace devsim
