// The traffic log: system-log lines for commands sent, address lines in the log file, the
// memory dump, and that the shipped build writes no file at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "build_settings.h"
#include "command_packets.h"
#include "hid.h"
#include "protocol_test_support.h"
#include "traffic_log.h"
#include "zuv_utilities.h"

namespace {

using protocol_test::QueryAnswer;
using protocol_test::Recorder;
using protocol_test::TempAppFolder;

class PROTOCOL_SUITE(TrafficLog) : public ::testing::Test {
 protected:
  void SetUp() override {
    protocol_test::ResetHidGlobals();
    protocol_test::UseStandInOrvane();
  }
  void TearDown() override { protocol_test::ResetHidGlobals(); }

  // A GET_DATA answer for address with n data bytes 0x10, 0x11, ... right-aligned.
  static fw::Ref<fw::MemoryBlock> GetDataAnswer(int32_t address, uint8_t n) {
    auto answer = HID::NewPacket();
    answer->SetUInt8Value(0, HID::GET_DATA);
    answer->SetInt32Value(1, address);
    answer->SetUInt8Value(5, n);
    for (uint8_t j = 0; j < n; ++j) answer->SetUInt8Value(64 - n + j, 0x10 + j);
    return answer;
  }

  static std::string DataField(uint8_t n) {
    std::string bytes(58 - n, '\0');
    for (uint8_t j = 0; j < n; ++j) bytes.push_back(static_cast<char>(0x10 + j));
    return bytes;
  }

  // Keeps the lines a test does not read out of the system log.
  Recorder unread_;
};

TEST(PROTOCOL_SUITE(Hex6), PadsToSixDigitsAndNeverCuts) {
  EXPECT_EQ(HID::hex6(0), "000000");
  EXPECT_EQ(HID::hex6(4096), "001000");
  EXPECT_EQ(HID::hex6(0xABCDEF), "ABCDEF");
  EXPECT_EQ(HID::hex6(0x1234567), "1234567");
  EXPECT_EQ(HID::hex6(-1), "FFFFFFFF");
}

TEST_F(PROTOCOL_SUITE(TrafficLog), EachCommandSentHasItsSystemLogLine) {
  Recorder recorder;
  auto code3 = HID::NewPacket();
  code3->SetUInt8Value(0, 3);
  auto reset = HID::NewPacket();
  reset->SetUInt8Value(0, HID::RESET_DEVICE);
  auto code200 = HID::NewPacket();
  code200->SetUInt8Value(0, 200);
  for (const auto& p : {HID::GetQueryDeviceCommand(), HID::GetEraseDeviceCommand(),
                        HID::GetProgramCompleteCommand(), HID::GetGetDataCommand(4096, 58),
                        HID::GetGetDataCommand(-1, 8), reset, code3, code200}) {
    HID::DebugSendCommand(p);
  }
  EXPECT_EQ(recorder.logLines, (std::vector<std::string>{
                                   "Sending QUERY_DEVICE.",
                                   "Sending ERASE_DEVICE.",
                                   "Sending PROGRAM_COMPLETE.",
                                   "Sending GET_DATA. Address: 1000",
                                   "Sending GET_DATA. Address: FFFFFFFF",
                                   "Sending RESET_DEVICE.",
                                   "Sending 3",
                                   "Sending C8",
                               }));
}

TEST_F(PROTOCOL_SUITE(TrafficLog), ProgramDeviceWithoutALogFileLogsNothingAtAll) {
  Recorder recorder;
  HID::DebugSendCommand(HID::GetProgramDeviceCommand(0x800, 58, std::string(58, 'x')));
  HID::DebugSendCommand(nullptr);
  EXPECT_TRUE(recorder.logLines.empty());
}

TEST_F(PROTOCOL_SUITE(TrafficLog), SendCommandLogsOnlyWithTheDebugAids) {
  HID::DeviceMac = fw::MakeRef<MyOrvane>();
  Recorder recorder;
  HID::SendCommand(HID::GetGetDataCommand(4096, 58));
  // Builds for other targets add lines of their own: no device of theirs is connected.
  const auto logged = std::count(recorder.logLines.begin(), recorder.logLines.end(),
                                 "Sending GET_DATA. Address: 1000");
  EXPECT_EQ(logged, HID::kDebugAids ? 1 : 0);
  if constexpr (HID::kBuildTarget == HID::BuildTarget::macOS) {
    EXPECT_EQ(recorder.logLines.size(), static_cast<size_t>(logged));
  }
}

TEST_F(PROTOCOL_SUITE(TrafficLog), InitLogOpensAFileNextToTheApplicationOnlyWithTheDebugAids) {
  TempAppFolder folder;
  { std::ofstream(folder.path() / "Debug") << "an older run\nof the log\n"; }
  HID::InitLog("Debug");
  if constexpr (HID::kDebugAids) {
    ASSERT_TRUE(HID::logfile);
    EXPECT_TRUE(folder.Lines("Debug").empty());  // replaced, not appended to
  } else {
    EXPECT_FALSE(HID::logfile);
    EXPECT_EQ(folder.Lines("Debug").size(), 2u);
  }
}

TEST_F(PROTOCOL_SUITE(TrafficLog), ALogFileThatCannotBeCreatedLeavesTheFileLogOff) {
  TempAppFolder folder;
  std::filesystem::create_directory(folder.path() / "Debug");  // a folder is in the way
  HID::InitLog("Debug");
  EXPECT_FALSE(HID::logfile);
  HID::InitLog("");
  EXPECT_FALSE(HID::logfile);
}

TEST_F(PROTOCOL_SUITE(TrafficLog), DataTrafficGoesToTheLogFileRightAligned) {
  TempAppFolder folder;
  HID::InitLog("Debug");
  std::string data = DataField(4);
  HID::DebugSendCommand(HID::GetProgramDeviceCommand(0x1006, 4, data));
  HID::DebugReadCommand(GetDataAnswer(0x1006, 4));
  HID::DebugReadCommand(QueryAnswer({{0, 0x800, 100}}, true));  // writes nothing
  HID::DebugReadCommand(nullptr);
  if constexpr (HID::kDebugAids) {
    EXPECT_EQ(folder.Lines("Debug"), (std::vector<std::string>{"Address: 001006 10111213",
                                                               "Address: 001006 10111213"}));
  } else {
    EXPECT_TRUE(folder.FileNames().empty());
  }
}

TEST_F(PROTOCOL_SUITE(TrafficLog), AnOversizedCountShowsTheWholeDataFieldOnly) {
  TempAppFolder folder;
  HID::InitLog("Debug");
  auto answer = GetDataAnswer(0, 58);
  answer->SetUInt8Value(5, 200);
  HID::DebugReadCommand(answer);
  if constexpr (HID::kDebugAids) {
    const auto lines = folder.Lines("Debug");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], HID::AddressLine(0, DataField(58)));
  } else {
    EXPECT_TRUE(folder.FileNames().empty());
  }
}

TEST_F(PROTOCOL_SUITE(TrafficLog), TheDumpShowsEveryRegionInLinesOfFiftyEightBytes) {
  TempAppFolder folder;
  ASSERT_TRUE(HID::ParseMemoryRegions(
      QueryAnswer({{0, 4102, 100}, {3, 0x300000, 0}, {3, 0x10, 2}}, true)));
  for (int i = 0; i < 100; ++i) HID::MemoryRegions[0]->data->SetUInt8Value(i, i);
  HID::DumpMemoryRegions();
  if constexpr (HID::kDebugAids) {
    const std::string& image = HID::MemoryRegions[0]->data->ToString();
    EXPECT_EQ(folder.Lines("Memory.txt"),
              (std::vector<std::string>{
                  "Address: 001006 " + EncodingToHexZuv(image.substr(0, 58)),
                  "Address: 001040 " + EncodingToHexZuv(image.substr(58, 42)),
                  "Address: 000010 FFFF",  // Size 0 gives no line; Type 3 is dumped
              }));
    // The dump's file stays the log file for the traffic that follows.
    HID::DebugReadCommand(GetDataAnswer(0x20, 1));
    EXPECT_EQ(folder.Lines("Memory.txt").back(), "Address: 000020 10");
  } else {
    EXPECT_FALSE(HID::logfile);
    EXPECT_TRUE(folder.FileNames().empty());
  }
}

TEST_F(PROTOCOL_SUITE(TrafficLog), EachInitLogReplacesTheStreamBefore) {
  TempAppFolder folder;
  HID::InitLog("Debug");
  HID::DebugReadCommand(GetDataAnswer(0x1, 1));
  HID::InitLog("Memory.txt");
  HID::DebugReadCommand(GetDataAnswer(0x2, 1));
  if constexpr (HID::kDebugAids) {
    EXPECT_EQ(folder.Lines("Debug"), (std::vector<std::string>{"Address: 000001 10"}));
    EXPECT_EQ(folder.Lines("Memory.txt"), (std::vector<std::string>{"Address: 000002 10"}));
  } else {
    EXPECT_TRUE(folder.FileNames().empty());
  }
}

}  // namespace
