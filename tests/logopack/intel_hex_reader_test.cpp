#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hex_test_support.h"
#include "logopack/intel_hex_reader.h"

namespace logopack {
namespace {

using test::kEndOfFile;
using test::Record;

std::string lines(const std::vector<std::string>& records, const std::string& lineEnd = "\n") {
  std::string text;
  for (const auto& record : records) text += record + lineEnd;
  return text;
}

FirmwareImage imageOf(std::vector<Segment> segments) { return FirmwareImage{std::move(segments)}; }

TEST(IntelHexReader, ReadsEitherLineEndAndDropsStartAddresses) {
  const std::vector<std::string> records = {
      Record(0x0800, 0x00, {0x01, 0x02, 0x03}), Record(0x0803, 0x00, {0x04}),
      Record(0, 0x03, {0x00, 0x00, 0x08, 0x00}), Record(0, 0x05, {0x00, 0x00, 0x08, 0x00}), kEndOfFile};
  for (const std::string lineEnd : {"\n", "\r\n"}) {
    auto hex = readIntelHex(lines(records, lineEnd));
    ASSERT_TRUE(hex) << hex.error().message;
    EXPECT_EQ(hex.value().image, imageOf({{0x800, {0x01, 0x02, 0x03, 0x04}}}));
    EXPECT_EQ(hex.value().recordCount, 5u);
  }
}

TEST(IntelHexReader, SegmentAddressesWrapInsideTheirSegmentLinearOnesGoOn) {
  const std::vector<std::uint8_t> sixteen = test::SampleBytes(16, 1);
  const std::vector<std::uint8_t> firstHalf(sixteen.begin(), sixteen.begin() + 8);
  const std::vector<std::uint8_t> secondHalf(sixteen.begin() + 8, sixteen.end());

  // Segment 0x2000: base 0x20000; offset 0xFFF8 + 8 wraps to offset 0, not to 0x30000.
  auto segmented = readIntelHex(lines({Record(0, 0x02, {0x20, 0x00}), Record(0xFFF8, 0x00, sixteen), kEndOfFile}));
  ASSERT_TRUE(segmented) << segmented.error().message;
  EXPECT_EQ(segmented.value().image, imageOf({{0x20000, secondHalf}, {0x2FFF8, firstHalf}}));

  // A segment not on a 64 KiB boundary: 0x1234 * 16 + 0x10.
  auto unaligned = readIntelHex(lines({Record(0, 0x02, {0x12, 0x34}), Record(0x0010, 0x00, {0xAA}), kEndOfFile}));
  ASSERT_TRUE(unaligned) << unaligned.error().message;
  EXPECT_EQ(unaligned.value().image, imageOf({{0x12350, {0xAA}}}));

  auto linear = readIntelHex(lines({Record(0, 0x04, {0x00, 0x02}), Record(0xFFF8, 0x00, sixteen), kEndOfFile}));
  ASSERT_TRUE(linear) << linear.error().message;
  EXPECT_EQ(linear.value().image, imageOf({{0x2FFF8, sixteen}}));

  // A linear address record after a segment one ends the segment addressing.
  auto switched = readIntelHex(lines({Record(0, 0x02, {0x10, 0x00}), Record(0, 0x04, {0x00, 0x03}),
                                      Record(0x0001, 0x00, {0x55}), kEndOfFile}));
  ASSERT_TRUE(switched) << switched.error().message;
  EXPECT_EQ(switched.value().image, imageOf({{0x30001, {0x55}}}));
}

TEST(IntelHexReader, BadChecksumNamesItsLine) {
  auto hex = readIntelHex(lines({Record(0x0000, 0x00, {0x11}), Record(0x0001, 0x00, {0x22}),
                                 Record(0x0002, 0x00, {0x33}).substr(0, 11) + "00", kEndOfFile}));
  ASSERT_FALSE(hex);
  EXPECT_EQ(hex.error().code, ErrorCode::BadHexRecord);
  EXPECT_EQ(hex.error().message.rfind("line 3: checksum 0x00 is wrong", 0), 0u) << hex.error().message;
}

TEST(IntelHexReader, MalformedRecordsAreRefusedWithLineAndReason) {
  const std::string good = Record(0x0000, 0x00, {0x11, 0x22});
  const std::vector<std::pair<std::string, std::string>> cases = {
      {lines({good, ":10000000GG", kEndOfFile}), "line 2: 'G' at column 10 is not a hexadecimal digit"},
      {lines({good, std::string(":1000\x01", 6), kEndOfFile}), "line 2: byte 0x01 at column 6 is not"},
      {lines({good, "10000000FF", kEndOfFile}), "line 2: does not start with ':'"},
      {lines({good, Record(0, 0x00, {0x11}).substr(0, 11), kEndOfFile}),
       "line 2: its byte count 1 does not match the 0 data bytes it holds"},
      {lines({good, ":0000000", kEndOfFile}), "line 2: has an odd number"},
      {lines({good, ":00000000", kEndOfFile}), "line 2: is too short"},
      {lines({good, Record(0, 0x06, {}), kEndOfFile}), "line 2: record type 0x06 does not exist"},
      {lines({good, Record(0, 0x04, {0x00, 0x01, 0x02}), kEndOfFile}), "line 2: a record of type 0x04 holds 2"},
      {lines({good, Record(0, 0x01, {0x00}), kEndOfFile}), "line 2: a record of type 0x01 holds 0"},
      {lines({good}), "the text ends at line 1 without an end-of-file record"},
      {lines({good, kEndOfFile, "", good}), "line 4: text after the end-of-file record of line 2"},
      {lines({Record(0, 0x04, {0xFF, 0xFF}), Record(0xFFFF, 0x00, {0x01, 0x02}), kEndOfFile}),
       "line 2: its data runs past the 32-bit address space"},
  };
  for (const auto& [text, expected] : cases) {
    auto hex = readIntelHex(text);
    ASSERT_FALSE(hex) << text;
    EXPECT_EQ(hex.error().code, ErrorCode::BadHexRecord) << text;
    EXPECT_NE(hex.error().message.find(expected), std::string::npos) << hex.error().message;
  }
}

TEST(IntelHexReader, OverlapsMustAgree) {
  // Agreeing overlaps, records out of order, and blank lines: one segment.
  auto agreeing = readIntelHex(lines({Record(0x0010, 0x00, {0x10, 0x11, 0x12, 0x13}), "",
                                      Record(0x000E, 0x00, {0x0E, 0x0F, 0x10, 0x11}),
                                      Record(0x0012, 0x00, {0x12, 0x13, 0x14}), kEndOfFile}));
  ASSERT_TRUE(agreeing) << agreeing.error().message;
  EXPECT_EQ(agreeing.value().image, imageOf({{0x0E, {0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14}}}));

  // Line 4 agrees with line 2 but not with line 3, whose bytes it reaches only later.
  auto clashing = readIntelHex(lines({Record(0, 0x04, {0x00, 0x00}), Record(0x0000, 0x00, {0xA0, 0xA1, 0xA2, 0xA3}),
                                      Record(0x0004, 0x00, {0xB4, 0xB5}),
                                      Record(0x0002, 0x00, {0xA2, 0xA3, 0xB4, 0xFF}), kEndOfFile}));
  ASSERT_FALSE(clashing);
  EXPECT_EQ(clashing.error().code, ErrorCode::OverlappingData);
  EXPECT_EQ(clashing.error().message, "overlapping data at 0x00000005: line 3 gives 0xB5, line 4 gives 0xFF");
}

}  // namespace
}  // namespace logopack
