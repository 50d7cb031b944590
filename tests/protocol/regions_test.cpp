// The memory-region list from a QueryDeviceAnswer: records, end marker, images, and the
// sizes no device can mean.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "build_settings.h"
#include "hid.h"
#include "protocol_test_support.h"
#include "text_functions.h"

namespace {

using protocol_test::QueryAnswer;
using protocol_test::Record;
using protocol_test::Recorder;

class PROTOCOL_SUITE(Regions) : public ::testing::Test {
 protected:
  void SetUp() override { protocol_test::ResetHidGlobals(); }
  void TearDown() override { protocol_test::ResetHidGlobals(); }

  static void ExpectImage(const MemoryRegion& region, size_t erased, size_t total) {
    ASSERT_TRUE(region.data);
    ASSERT_EQ(region.data->Size(), total);
    for (size_t i = 0; i < total; ++i) {
      EXPECT_EQ(region.data->UInt8Value(i), i < erased ? 0xFF : 0x00) << "byte " << i;
    }
  }

  const std::vector<Record> twoRecords_ = {{0, 0x800, 100}, {1, 0x10000, 4}};
  // Keeps the lines a test does not read out of the system log.
  Recorder unread_;
};

TEST_F(PROTOCOL_SUITE(Regions), TwoRecordsAndAnEndMarkerGiveTwoErasedImages) {
  Recorder recorder;
  ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer(twoRecords_, true)));
  ASSERT_EQ(HID::MemoryRegions.size(), 2u);
  EXPECT_EQ(HID::memoryRegionsDetected, 2);
  const MemoryRegion& first = *HID::MemoryRegions[0];
  EXPECT_EQ(first.Type, 0);
  EXPECT_EQ(first.Address, 0x800);
  EXPECT_EQ(first.Size, 100);
  ExpectImage(first, 100, 110);
  const MemoryRegion& second = *HID::MemoryRegions[1];
  EXPECT_EQ(second.Type, 1);
  EXPECT_EQ(second.Address, 0x10000);
  EXPECT_EQ(second.Size, 4);
  ExpectImage(second, 4, 14);
  EXPECT_TRUE(recorder.messages.empty());

  if constexpr (HID::kDebugAids) {
    EXPECT_EQ(recorder.logLines,
              (std::vector<std::string>{"2 MemoryRegions", "0 800 100", "1 10000 4"}));
  } else {
    EXPECT_TRUE(recorder.logLines.empty());
  }
}

TEST_F(PROTOCOL_SUITE(Regions), EveryParseAppendsToTheList) {
  const auto answer = QueryAnswer(twoRecords_, true);
  ASSERT_TRUE(HID::ParseMemoryRegions(answer));
  ASSERT_TRUE(HID::ParseMemoryRegions(answer));
  ASSERT_EQ(HID::MemoryRegions.size(), 4u);
  EXPECT_EQ(HID::memoryRegionsDetected, 4);
  EXPECT_EQ(HID::MemoryRegions[2]->Address, 0x800);
  // Each parse makes images of its own.
  EXPECT_NE(HID::MemoryRegions[0]->data, HID::MemoryRegions[2]->data);
}

TEST_F(PROTOCOL_SUITE(Regions), AnEndMarkerFirstAppendsNothing) {
  ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer({}, true)));
  EXPECT_TRUE(HID::MemoryRegions.empty());
  EXPECT_EQ(HID::memoryRegionsDetected, 0);

  ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer(twoRecords_, true)));
  ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer({}, true)));
  EXPECT_EQ(HID::memoryRegionsDetected, 2);
}

TEST_F(PROTOCOL_SUITE(Regions), SixRecordsWithoutEndMarkerGiveSixAndNothingAfterIsRead) {
  std::vector<Record> six;
  for (int i = 0; i < 6; ++i) six.push_back({static_cast<uint8_t>(i), 0x1000 * i, 8});
  auto answer = QueryAnswer(six, false);
  answer->SetUInt8Value(57, 7);  // would be a seventh record's Type
  ASSERT_TRUE(HID::ParseMemoryRegions(answer));
  ASSERT_EQ(HID::MemoryRegions.size(), 6u);
  EXPECT_EQ(HID::MemoryRegions[5]->Type, 5);
  EXPECT_EQ(HID::MemoryRegions[5]->Address, 0x5000);
}

TEST_F(PROTOCOL_SUITE(Regions), SizeZeroGivesTenZeroBytes) {
  ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer({{3, 0x300000, 0}}, true)));
  ASSERT_EQ(HID::MemoryRegions.size(), 1u);
  ExpectImage(*HID::MemoryRegions[0], 0, 10);
}

// What a refused answer leaves: the regions parsed before, and one message naming the
// record at fault.
class PROTOCOL_SUITE(RefusedRegions) : public PROTOCOL_SUITE(Regions) {
 protected:
  void ExpectRefused(const fw::Ref<fw::MemoryBlock>& answer, const std::string& fault) {
    ExpectRefusedWith(answer, "Invalid memory region reported by device.\n\n" + fault);
  }
  void ExpectRefusedWith(const fw::Ref<fw::MemoryBlock>& answer, const std::string& message) {
    Recorder recorder;
    const size_t before = HID::MemoryRegions.size();
    EXPECT_FALSE(HID::ParseMemoryRegions(answer));
    EXPECT_EQ(HID::MemoryRegions.size(), before);
    EXPECT_EQ(HID::memoryRegionsDetected, static_cast<int32_t>(before));
    EXPECT_EQ(recorder.messages, (std::vector<std::string>{message}));
  }
  static constexpr const char* kTooMany =
      "Too many memory regions.\n\nWith these the region images would take more than 64 MiB; none of them "
      "were added.";

  // The first n bytes of answer, as a device that sends a short report delivers them.
  static fw::Ref<fw::MemoryBlock> Cut(const fw::Ref<fw::MemoryBlock>& answer, size_t n) {
    return fw::MakeRef<fw::MemoryBlock>(answer->StringValue(0, n));
  }
};

TEST_F(PROTOCOL_SUITE(RefusedRegions), ImpossibleRecordsAppendNothing) {
  // With one byte per address (and while no family is known) a region's byte range must lie
  // in the signed 32-bit range; addresses above 0x80000000 read as negative and are fine.
  const Record impossible[] = {
      {1, 0x9000, -1},
      {1, 0x9000, INT32_MIN},
      {1, 0x9000, HID::MaxRegionSize + 1},
      {1, 0x9000, INT32_MAX},
      {1, INT32_MAX - 15, 17},
      {1, INT32_MAX, 2},
      {1, INT32_MAX, HID::MaxRegionSize},
      // Past the device's last address: signed, -16 to 1 would look like one run.
      {1, -16, 17},
      {1, -256, 0x1000},
  };
  for (const Record& record : impossible) {
    SCOPED_TRACE(std::to_string(record.address) + ", " + std::to_string(record.size));
    ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer({{0, 0x800, 100}}, true)));
    // A good record before the bad one is not kept either: the answer as a whole is wrong.
    ExpectRefused(QueryAnswer({{0, 0x800, 100}, record}, true),
                  "Region 2: address " + fw::Hex(record.address) + ", size " +
                      std::to_string(record.size));
    protocol_test::ResetHidGlobals();
  }
  // The last addresses that still fit, at both ends: a region may end with byte 0x7FFFFFFF.
  ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer({{1, INT32_MAX - 15, 16}}, true)));
  ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer({{1, INT32_MAX, 1}}, true)));
  ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer({{1, INT32_MIN, 16}, {1, -1, 1}}, true)));
}

TEST_F(PROTOCOL_SUITE(RefusedRegions), WithTwoBytesPerAddressTheByteRangeMustFit) {
  HID::bytesPerAddress = 2;
  constexpr int32_t kHalf = INT32_MAX / 2;
  for (const Record& record : {Record{1, kHalf - 15, 17}, Record{1, INT32_MIN / 2 - 1, 16}, Record{1, 0x40000000, 1}}) {
    SCOPED_TRACE(std::to_string(record.address));
    ExpectRefused(QueryAnswer({record}, true),
                  "Region 1: address " + fw::Hex(record.address) + ", size " + std::to_string(record.size));
  }
  ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer({{1, kHalf - 15, 16}, {1, INT32_MIN / 2, 16}}, true)));
  // Each address holds two image bytes, all preset, then the ten spare bytes.
  ExpectImage(*HID::MemoryRegions[0], 32, 42);
}

TEST_F(PROTOCOL_SUITE(RefusedRegions), ARecordCutShortByTheAnswerIsRefused) {
  const auto full = QueryAnswer(twoRecords_, true);
  ExpectRefused(Cut(full, 8), "Region 1: address 800, size 0");
  ExpectRefused(Cut(full, 12), "Region 2: address 0, size 0");  // no Type byte of record 2
  ExpectRefused(Cut(full, 20), "Region 2: address 10000, size 0");
  ExpectRefused(nullptr, "Region 1: address 0, size 0");
  // The end marker alone may be the last byte there is.
  ASSERT_TRUE(HID::ParseMemoryRegions(Cut(full, 22)));
  EXPECT_EQ(HID::MemoryRegions.size(), 2u);
}

TEST_F(PROTOCOL_SUITE(Regions), ASixthRecordThatEndsTheAnswerIsComplete) {
  std::vector<Record> six;
  for (int i = 0; i < 6; ++i) six.push_back({1, 0x1000 * i, 8});
  const auto answer = QueryAnswer(six, false);
  ASSERT_EQ(answer->Size(), 64u);
  ASSERT_TRUE(HID::ParseMemoryRegions(answer));
  ASSERT_TRUE(HID::ParseMemoryRegions(fw::MakeRef<fw::MemoryBlock>(answer->StringValue(0, 57))));
  EXPECT_EQ(HID::memoryRegionsDetected, 12);
  EXPECT_EQ(HID::MemoryRegions[11]->Size, 8);
}

// Repeated queries of the debug console append; they stop at the cap with a message of their
// own, not one that blames the device.
TEST_F(PROTOCOL_SUITE(RefusedRegions), AllImagesTogetherStayWithinTheirCap) {
  // An image of exactly a quarter of the cap, and one of ten bytes.
  const int32_t quarter = static_cast<int32_t>(HID::MaxImageBytes / 4) - 10;
  const Record small = {1, 0x10, 0};
  ExpectRefusedWith(QueryAnswer({{0, 0, quarter}, {0, quarter, quarter}, {0, 2 * quarter, quarter},
                             {0, 3 * quarter, quarter}, small},
                            true),
                    kTooMany);
  // Parses add up: each one alone would fit.
  const auto half = QueryAnswer({{0, 0, quarter}, {0, quarter, quarter}}, true);
  ASSERT_TRUE(HID::ParseMemoryRegions(half));
  ASSERT_TRUE(HID::ParseMemoryRegions(half));
  ExpectRefusedWith(QueryAnswer({small}, true), kTooMany);
  EXPECT_EQ(HID::memoryRegionsDetected, 4);
}

}  // namespace
