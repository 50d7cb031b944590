// The memory-region list from a QueryDeviceAnswer: records, end marker, images, and the
// sizes no device can mean.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "build_settings.h"
#include "hid.h"
#include "protocol_test_support.h"

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

TEST_F(PROTOCOL_SUITE(Regions), ImpossibleSizesAreRefusedWithAMessageAndAppendNothing) {
  const int32_t impossible[] = {-1, INT32_MIN, HID::MaxRegionSize + 1, INT32_MAX};
  for (int32_t size : impossible) {
    SCOPED_TRACE(size);
    Recorder recorder;
    ASSERT_TRUE(HID::ParseMemoryRegions(QueryAnswer({{0, 0x800, 100}}, true)));
    // A good record before the bad one is not kept either: the answer as a whole is wrong.
    EXPECT_FALSE(HID::ParseMemoryRegions(QueryAnswer({{0, 0x800, 100}, {1, 0x9000, size}}, true)));
    EXPECT_EQ(HID::MemoryRegions.size(), 1u);
    EXPECT_EQ(HID::memoryRegionsDetected, 1);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0], "Invalid memory region reported by device.\n\nRegion 2: "
                                    "address 9000, size " + std::to_string(size));
    protocol_test::ResetHidGlobals();
  }
}

TEST_F(PROTOCOL_SUITE(Regions), AShortAnswerReadsAsZerosBeyondItsEnd) {
  // A report the device cut short still parses without reading past the block.
  auto answer = fw::NewMemoryBlock(8);
  answer->SetUInt8Value(0, 2);
  ASSERT_TRUE(HID::ParseMemoryRegions(answer));
  ASSERT_EQ(HID::MemoryRegions.size(), 6u);
  EXPECT_EQ(HID::MemoryRegions[0]->Size, 0);
}

}  // namespace
