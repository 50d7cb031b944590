// The real updater program against the real simulator program, driven through standard
// input as a user's script would drive it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "program_tree.h"

namespace app_test {
namespace {

using namespace std::chrono_literals;

const std::string kInstalled = "Update installed.\n\nPlease disconnect the device and turn it off.";

bool Shows(const ProgramRun& run, const std::string& text) { return run.out.find(text) != std::string::npos; }

std::vector<std::string> RegionOptions(const std::vector<Region>& regions) {
  std::vector<std::string> options;
  for (const Region& region : regions) {
    char text[64];
    std::snprintf(text, sizeof text, "%u:0x%X:0x%X", unsigned{region.type}, region.address, region.size);
    options.insert(options.end(), {"--region", text});
  }
  return options;
}

TEST(EndToEnd, TheUpdaterWritesTheFirmwareAndTellsTheUserToSwitchOff) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x1000}, {1, 0x10000, 64}});
  tree.WriteUpdate(firmware.intelHex);
  tree.StartSimulator();
  const ProgramRun run = tree.RunUpdater("s\n");
  tree.StopSimulator();
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Shows(run, kInstalled)) << run.out;
  EXPECT_EQ(ReadMemoryDump(tree.MemoryDump()), firmware.bytes);
  EXPECT_LT(run.took, 10s);
}

struct DeviceCase {
  std::string name;
  int family;
  std::vector<Region> regions;

  friend void PrintTo(const DeviceCase& c, std::ostream* out) { *out << c.name; }
};

class EachDevice : public ::testing::TestWithParam<DeviceCase> {};

// Every family, with memory at both ends of the 32-bit range.
TEST_P(EachDevice, HoldsTheFirmwareAfterTheUpdate) {
  const DeviceCase& c = GetParam();
  ProgramTree tree;
  const Firmware firmware = FirmwareFor(c.regions, c.family == 2 ? 2 : 1);
  tree.WriteUpdate(firmware.intelHex);
  std::vector<std::string> options{"--family", std::to_string(c.family)};
  const std::vector<std::string> regions = RegionOptions(c.regions);
  options.insert(options.end(), regions.begin(), regions.end());
  tree.StartSimulator(options);
  const ProgramRun run = tree.RunUpdater("s\n");
  tree.StopSimulator();
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Shows(run, kInstalled)) << run.out;
  EXPECT_EQ(ReadMemoryDump(tree.MemoryDump()), firmware.bytes);
}

INSTANTIATE_TEST_SUITE_P(Families, EachDevice,
                         ::testing::Values(DeviceCase{"Family1", 1, {{0, 0x800, 0x400}, {1, 0xFFFFFC00, 0x400}}},
                                           DeviceCase{"Family2", 2, {{0, 0x800, 0x200}, {1, 0xC0000000, 0x100}}},
                                           DeviceCase{"Family3", 3, {{0, 0x800, 0x200}, {1, 0x80000000, 0x400}}}),
                         [](const auto& info) { return info.param.name; });

TEST(EndToEnd, ACorruptByteFailsTheVerificationNamingItsAddress) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x400}});
  tree.WriteUpdate(firmware.intelHex);
  std::vector<std::string> options = RegionOptions(firmware.regions);
  options.insert(options.end(), {"--corrupt", "0x805"});
  tree.StartSimulator(options);
  const ProgramRun run = tree.RunUpdater("s\n");
  tree.StopSimulator();
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Shows(run, "Verification failed on address 000805")) << run.out;
  EXPECT_TRUE(Shows(run, "Verify failed. Please try again.")) << run.out;
  EXPECT_FALSE(Shows(run, "Update installed.")) << run.out;
}

// Unplugged while the packets go out: programming runs to its end, and the first read-back
// request that gets no answer ends the update.
TEST(EndToEnd, ADeviceThatVanishesWhileProgrammedEndsTheUpdateWithinSeconds) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x400}});
  tree.WriteUpdate(firmware.intelHex);
  std::vector<std::string> options = RegionOptions(firmware.regions);
  options.insert(options.end(), {"--vanish-after", "6"});  // query, erase, query, three packets
  tree.StartSimulator(options);
  const ProgramRun run = tree.RunUpdater("s\n");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Shows(run, "Failed to get answer from device.")) << run.out;
  EXPECT_FALSE(Shows(run, "Update installed.")) << run.out;
  EXPECT_FALSE(Shows(run, "Verify failed.")) << run.out;
  // The simulator's last traffic line is the report it vanished after.
  const auto afterVanish = std::chrono::file_clock::now() - std::filesystem::last_write_time(tree.Traffic());
  EXPECT_LT(afterVanish, 5s) << "four seconds for the first unanswered request, and the quit";
  RecordProperty("exit_after_vanish_ms",
                 static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(afterVanish).count()));
}

}  // namespace
}  // namespace app_test
