// The five command packets, byte for byte, and the builders' warnings in their order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_packets.h"
#include "protocol_test_support.h"

namespace {

using protocol_test::BytesOf;
using protocol_test::Recorder;

std::vector<uint8_t> Expected(std::initializer_list<uint8_t> head) {
  std::vector<uint8_t> bytes(64, 0);
  std::copy(head.begin(), head.end(), bytes.begin());
  return bytes;
}

std::string Counting(size_t n) {
  std::string data;
  for (size_t i = 0; i < n; ++i) data.push_back(static_cast<char>(0xA0 + i));
  return data;
}

TEST(PROTOCOL_SUITE(Packets), CommandOnlyPacketsCarryTheirCodeAndZeros) {
  Recorder recorder;
  const std::pair<fw::Ref<fw::MemoryBlock>, uint8_t> packets[] = {
      {HID::GetQueryDeviceCommand(), 2},
      {HID::GetEraseDeviceCommand(), 4},
      {HID::GetProgramCompleteCommand(), 6},
  };
  for (const auto& [packet, code] : packets) {
    ASSERT_TRUE(packet);
    EXPECT_EQ(BytesOf(*packet), Expected({code}));
  }
  EXPECT_TRUE(recorder.messages.empty());
}

TEST(PROTOCOL_SUITE(Packets), GetDataCarriesAddressAndSizeLittleEndian) {
  Recorder recorder;
  const auto packet = HID::GetGetDataCommand(0x1000, 58);
  ASSERT_TRUE(packet);
  EXPECT_EQ(BytesOf(*packet), Expected({0x07, 0x00, 0x10, 0x00, 0x00, 0x3A}));

  // The address is the bit pattern of the Integer; the size its low byte.
  const auto negative = HID::GetGetDataCommand(-2, -1);
  ASSERT_TRUE(negative);
  EXPECT_EQ(BytesOf(*negative), Expected({0x07, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_TRUE(recorder.messages.empty());
}

TEST(PROTOCOL_SUITE(Packets), GetDataAboveFiftyEightBytesIsRefusedSilently) {
  Recorder recorder;
  EXPECT_FALSE(HID::GetGetDataCommand(0, 59));
  EXPECT_FALSE(HID::GetGetDataCommand(0x1000, 255));
  EXPECT_TRUE(recorder.messages.empty());
}

TEST(PROTOCOL_SUITE(Packets), ProgramDevicePutsTheWholeDataFieldAfterTheHeader) {
  Recorder recorder;
  const std::string data = Counting(58);
  const auto packet = HID::GetProgramDeviceCommand(0x12345678, 16, data);
  ASSERT_TRUE(packet);
  std::vector<uint8_t> expected = Expected({0x05, 0x78, 0x56, 0x34, 0x12, 16});
  std::copy(data.begin(), data.end(), expected.begin() + 6);
  EXPECT_EQ(BytesOf(*packet), expected);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST(PROTOCOL_SUITE(Packets), ShortDataWarnsTwiceInOrderAndStillBuilds) {
  Recorder recorder;
  const std::string data = Counting(10);
  const auto packet = HID::GetProgramDeviceCommand(0, 16, data);
  EXPECT_EQ(recorder.messages,
            (std::vector<std::string>{"Data is too short", "Data is length is wrong"}));
  ASSERT_TRUE(packet);
  // The bytes there are land at the start of the data field; the rest stays zero.
  std::vector<uint8_t> expected = Expected({0x05, 0, 0, 0, 0, 16});
  std::copy(data.begin(), data.end(), expected.begin() + 6);
  EXPECT_EQ(BytesOf(*packet), expected);
}

TEST(PROTOCOL_SUITE(Packets), LongDataIsCutAtTheEndOfThePacket) {
  Recorder recorder;
  const std::string data = Counting(70);
  const auto packet = HID::GetProgramDeviceCommand(0, 58, data);
  EXPECT_EQ(recorder.messages, (std::vector<std::string>{"Data is length is wrong"}));
  ASSERT_TRUE(packet);
  EXPECT_EQ(packet->Size(), 64u);
  EXPECT_EQ(packet->StringValue(6, 58), data.substr(0, 58));
}

TEST(PROTOCOL_SUITE(Packets), ProgramDeviceAboveFiftyEightBytesWarnsOnceThenGivesNil) {
  Recorder recorder;
  EXPECT_FALSE(HID::GetProgramDeviceCommand(0, 59, Counting(58)));
  EXPECT_EQ(recorder.messages, (std::vector<std::string>{"Data is too short"}));
}

}  // namespace
