// The one bound of the update that takes a minute of real time to see: a device that stays
// silent after the erase is given up after sixty seconds.
#include <gtest/gtest.h>

#include <filesystem>

#include "program_tree.h"
#include "user_messages.h"

namespace app_test {
namespace {

using namespace std::chrono_literals;

TEST(EndToEndLong, ADeviceSilentAfterTheEraseIsGivenUpAfterAMinute) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x400}});
  tree.WriteUpdate(firmware.intelHex);
  // Busy for ten minutes after the erase: the query that follows it is never read.
  tree.StartSimulator({"--region", "0:0x800:0x400", "--erase-ms", "600000"});
  const ProgramRun run = tree.RunUpdater("s\n", 120s);
  // The device's last traffic line is the erase, written as it came in.
  const auto afterErase = std::chrono::file_clock::now() - std::filesystem::last_write_time(tree.Traffic());
  tree.StopSimulator();
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(kNoAnswer), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Update installed."), std::string::npos) << run.out;
  EXPECT_GE(afterErase, 60s);
  EXPECT_LT(afterErase, 63s);
  RecordProperty("exit_after_erase_ms",
                 static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(afterErase).count()));
}

}  // namespace
}  // namespace app_test
