// The real updater program against the real simulator program, driven through standard
// input as a user's script would drive it.
#include <gtest/gtest.h>

#include "program_tree.h"

namespace app_test {
namespace {

using namespace std::chrono_literals;

TEST(EndToEnd, TheUpdaterWritesTheFirmwareAndTellsTheUserToSwitchOff) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x1000}, {1, 0x10000, 64}});
  tree.WriteUpdate(firmware.intelHex);
  tree.StartSimulator();
  const ProgramRun run = tree.RunUpdater("s\n");
  tree.StopSimulator();
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Update installed.\n\nPlease disconnect the device and turn it off."), std::string::npos)
      << run.out;
  EXPECT_EQ(ReadMemoryDump(tree.MemoryDump()), firmware.bytes);
  EXPECT_LT(run.took, 10s);
}

}  // namespace
}  // namespace app_test
