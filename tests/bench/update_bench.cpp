// A whole update of 128 KiB against the simulator paced as a full-speed USB device, which
// takes one report a millisecond: the time the updater takes to program and verify, against
// the wire's own time for the reports it sends meanwhile. Not a test: scripts/bench runs it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "background_process.h"
#include "program_tree.h"

namespace app_test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr uint32_t kFirmwareBytes = 128 * 1024;
constexpr uint32_t kBytesPerPacket = 56;
// The step timer runs before programming and again before verification.
constexpr auto kStepTimers = 2 * 100ms;

TEST(UpdateBench, ProgramAndVerifyAgainstTheWire) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x0, kFirmwareBytes}});
  tree.WriteUpdate(firmware.intelHex);
  tree.StartSimulator({"--pace", "--region", "0:0:" + std::to_string(kFirmwareBytes)});

  std::vector<std::string> environment = tree.Environment();
  environment.push_back("UPDATER_DEBUG_LOG_STDERR=1");
  testsupport::BackgroundProcess updater({(tree.Bin() / "Updater").string()}, environment, "s\n");
  // The debug log copies every report received: the second query answer ends the wait after
  // the erase, the last GET_DATA answer ends the verification.
  int queryAnswers = 0;
  std::optional<Clock::time_point> deviceBack;
  Clock::time_point lastData{};
  std::optional<Clock::time_point> firstData;
  while (const auto line = updater.ReadStderrLine(30s)) {
    const Clock::time_point now = Clock::now();
    if (line->starts_with("ReceiveData: 02") && ++queryAnswers == 2) deviceBack = now;
    if (line->starts_with("ReceiveData: 07")) {
      lastData = now;
      if (!firstData) firstData = now;
    }
  }
  const testsupport::ProcessResult end = updater.Finish();
  tree.StopSimulator();
  ASSERT_EQ(end.exitCode, 0) << end.out;
  ASSERT_TRUE(deviceBack);
  ASSERT_EQ(ReadMemoryDump(tree.MemoryDump()), firmware.bytes);

  const uint32_t packets = (kFirmwareBytes + kBytesPerPacket - 1) / kBytesPerPacket;
  // PROGRAM_DEVICE packets, one PROGRAM_COMPLETE, then as many GET_DATA requests.
  const auto wire = std::chrono::milliseconds(2 * packets + 1);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(lastData - *deviceBack - kStepTimers);
  std::printf("128 KiB update, simulator paced at one report per millisecond\n");
  std::printf("  program + verify:           %6lld ms\n", static_cast<long long>(took.count()));
  std::printf("  the wire, %u reports out: %6lld ms\n", 2 * packets + 1, static_cast<long long>(wire.count()));
  std::printf("  first answer to verify:     %6lld ms after the device was back\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(*firstData - *deviceBack).count()));
  std::printf("  updater / wire:             %6.3f\n", static_cast<double>(took.count()) / static_cast<double>(wire.count()));
}

}  // namespace
}  // namespace app_test
