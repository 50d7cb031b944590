// The programming step as the device receives it: the PROGRAM_DEVICE packets of each region
// with their addresses, sizes and right-aligned data, one PROGRAM_COMPLETE after each
// written region, and the progress bar before each packet.
#include <gtest/gtest.h>

#include "hid.h"
#include "ui/application.h"

#include <algorithm>

#include "command_packets.h"
#include "update_run.h"
#include "user_messages.h"

namespace app_test {
namespace {

struct ProgramCase {
  std::string name;
  std::vector<Region> regions;
  uint8_t bytesPerPacket;
  uint8_t family;
  std::vector<std::vector<Span>> packets;  // per written region, in order
  std::vector<int32_t> bars;               // the bar's redraws while programming

  friend void PrintTo(const ProgramCase& c, std::ostream* out) { *out << c.name; }
};

class Programming : public UpdateTest, public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(Programming, SendsEachWrittenRegionInPacketsThenCompletesIt) {
  const ProgramCase& c = GetParam();
  const int bytesPerAddress = c.family == 2 ? 2 : 1;
  const Firmware firmware = FirmwareFor(c.regions, bytesPerAddress);
  EXPECT_EQ(Update(Device(c.regions, c.bytesPerPacket, c.family), firmware.intelHex), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kInstalled});
  EXPECT_EQ(DeviceMemory(), firmware.bytes);

  // Regions follow each other with no other traffic between them: each written region's
  // PROGRAM_DEVICE packets, then its PROGRAM_COMPLETE.
  std::vector<Command> sent;
  for (const Command& command : Received()) {
    if (command.code == HID::PROGRAM_DEVICE || command.code == HID::PROGRAM_COMPLETE) sent.push_back(command);
  }
  std::vector<std::pair<uint8_t, Span>> expected;
  for (const std::vector<Span>& region : c.packets) {
    for (const Span& packet : region) expected.emplace_back(HID::PROGRAM_DEVICE, packet);
    expected.emplace_back(HID::PROGRAM_COMPLETE, Span{0, 0});
  }
  std::vector<std::pair<uint8_t, Span>> actual;
  for (const Command& command : sent) actual.emplace_back(command.code, Span{command.address, command.size});
  ASSERT_EQ(actual, expected);

  // Each packet holds zeros, then its image bytes at the end of the data field; a region's
  // packets carry its whole image and not the spare bytes after it.
  size_t at = 0;
  for (size_t r = 0; r < c.regions.size(); ++r) {
    if (c.regions[r].type == 3) continue;
    SCOPED_TRACE("region " + std::to_string(r));
    const std::vector<uint8_t>& image = firmware.bytes[r];
    size_t offset = 0;
    for (; sent.at(at).code == HID::PROGRAM_DEVICE; ++at) {
      const Command& packet = sent[at];
      EXPECT_TRUE(std::all_of(packet.report.begin() + 6, packet.report.end() - packet.size,
                              [](uint8_t byte) { return byte == 0; }));
      ASSERT_LE(offset + packet.size, image.size());
      EXPECT_EQ(packet.Data(), std::vector<uint8_t>(image.begin() + static_cast<std::ptrdiff_t>(offset),
                                                    image.begin() + static_cast<std::ptrdiff_t>(offset + packet.size)));
      offset += packet.size;
    }
    EXPECT_EQ(offset, image.size());
    ++at;  // its PROGRAM_COMPLETE
  }

  // Programming redraws the bar below 100 before each packet; verification then starts at 100.
  std::vector<int32_t> bars = BarRedraws();
  bars.erase(std::find_if(bars.begin(), bars.end(), [](int32_t value) { return value >= 100; }), bars.end());
  EXPECT_EQ(bars, c.bars);
  EXPECT_EQ(steps[6].bar, 100);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Programming,
    ::testing::Values(
        ProgramCase{"ARegionEndingInAShortPacket", {{0, 4096, 100}}, 32, 1,
                    {{{4096, 32}, {4128, 32}, {4160, 32}, {4192, 4}}}, {0, 32, 64, 96}},
        ProgramCase{"ARegionOfWholePackets", {{0, 4096, 64}}, 32, 1, {{{4096, 32}, {4128, 32}}}, {0, 50}},
        ProgramCase{"ARegionSmallerThanAPacket", {{0, 4096, 10}}, 32, 1, {{{4096, 10}}}, {0}},
        ProgramCase{"FullDataFields", {{0, 0x1000, 116}}, 58, 1, {{{0x1000, 58}, {0x103A, 58}}}, {0, 50}},
        ProgramCase{"EmptyAndProtectedRegions", {{0, 0x800, 0}, {3, 0x900, 16}, {1, 0x1000, 20}}, 56, 1,
                    {{}, {{0x1000, 20}}}, {0}},
        ProgramCase{"TwoRegions", {{0, 0x800, 64}, {1, 0x10000, 40}}, 32, 1,
                    {{{0x800, 32}, {0x820, 32}}, {{0x10000, 32}, {0x10020, 8}}}, {0, 50, 0, 80}},
        ProgramCase{"TwoBytesPerAddress", {{0, 0x800, 60}}, 56, 2, {{{0x800, 56}, {0x81C, 56}, {0x838, 8}}},
                    {0, 46, 93}}),
    [](const auto& info) { return info.param.name; });

// The debug console may ask the device again after the first step checked its packet size:
// programming and verification check it once more instead of looping without end.
class AfterARequery : public StepTest {};

TEST_F(AfterARequery, ProgrammingAndVerificationRefuseAPacketSizeTheyCannotWorkWith) {
  for (const int32_t size : {0, 59}) {
    for (const bool verify : {false, true}) {
      SCOPED_TRACE(std::to_string(size) + (verify ? " verify" : " program"));
      Regions({{0, 0x800, 64}}, 1);
      HID::BytesPerPacket = size;
      messages.clear();
      verify ? Window().Work5() : Window().Work4();
      EXPECT_EQ(messages, std::vector<std::string>{"Wrong answer from device.\n\nBytesPerPacket: " + std::to_string(size)});
      EXPECT_TRUE(fw::QuitRequested());
    }
  }
}

}  // namespace
}  // namespace app_test
