#include <gtest/gtest.h>

#include <sstream>

#include "devsim/memory_dump.h"
#include "devsim/traffic_log.h"

namespace devsim {
namespace {

TEST(DevsimLogs, TrafficLinesAreTaggedUpperCaseHex) {
  std::ostringstream out;
  TrafficLog log(out);
  log.received(std::vector<std::uint8_t>{0x02, 0x00, 0xAB});
  log.sent(std::vector<std::uint8_t>{0x07, 0xFF});
  log.sent(std::vector<std::uint8_t>{});
  log.note("something");
  EXPECT_EQ(out.str(), "OUT 0200AB\nIN 07FF\nIN \nNOTE something\n");
}

TEST(DevsimLogs, MemoryDumpListsRegionsIn32ByteLines) {
  std::vector<RegionLayout> regions = {{1, 0x1ABC, 40}, {3, 0x10000, 0}, {0, 0, 2}};
  DeviceMemory memory(regions, 1, std::uint8_t{0xFF});
  memory.program(0x1ABC, std::vector<std::uint8_t>{0x0A});
  memory.program(0, std::vector<std::uint8_t>{0x12, 0x34});
  std::ostringstream out;
  writeMemoryDump(out, memory);
  EXPECT_EQ(out.str(),
            "REGION type=1 address=0x1ABC size=40\n"
            "0A" + std::string(62, 'F') + "\n" +
            std::string(16, 'F') + "\n"
            "REGION type=3 address=0x10000 size=0\n"
            "REGION type=0 address=0x0 size=2\n"
            "1234\n");
}

}  // namespace
}  // namespace devsim
