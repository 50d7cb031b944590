#include <gtest/gtest.h>

#include <numeric>

#include "devsim/bootloader.h"
#include "test_support.h"

namespace devsim {
namespace {

using test::commandPacket;
using test::getDataPacket;
using test::getDataPayload;
using test::le32At;
using test::programPacket;
using Bytes = std::vector<std::uint8_t>;

Options baseOptions() {
  Options options;
  options.name = "dev";
  options.initialFill = 0xFF;
  return options;
}

Report only(const Reaction& reaction) {
  EXPECT_EQ(reaction.answers.size(), 1u);
  return reaction.answers.empty() ? Report{} : reaction.answers.front();
}

Bytes sequence(std::size_t count, std::uint8_t first) {
  Bytes bytes(count);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

TEST(DevsimBootloader, QueryListsPacketSizeFamilyAndRegions) {
  Options options = baseOptions();
  options.bytesPerPacket = 32;
  options.family = 3;
  options.regions = {{0, 0x800, 0x1000}, {3, 0x80000000, 64}};
  Bootloader device(options);
  Report answer = only(device.handle(commandPacket(Command::QueryDevice)));
  ASSERT_EQ(answer.size(), kReportSize);
  EXPECT_EQ(answer[0], 2);
  EXPECT_EQ(answer[1], 32);
  EXPECT_EQ(answer[2], 3);
  EXPECT_EQ(answer[3], 0);
  EXPECT_EQ(le32At(answer, 4), 0x800u);
  EXPECT_EQ(le32At(answer, 8), 0x1000u);
  EXPECT_EQ(answer[12], 3);
  EXPECT_EQ(le32At(answer, 13), 0x80000000u);  // sent as the bit pattern of a signed field
  EXPECT_EQ(le32At(answer, 17), 64u);
  EXPECT_EQ(answer[21], kRegionEndMarker);
  EXPECT_EQ(Bytes(answer.begin() + 22, answer.end()), Bytes(42, 0));
}

TEST(DevsimBootloader, SixRegionsLeaveNoRoomForTheEndMarker) {
  Options options = baseOptions();
  options.regions = {{0, 0, 1}, {1, 1, 1}, {2, 2, 1}, {3, 3, 1}, {4, 4, 1}, {5, 5, 1}};
  Bootloader device(options);
  Report answer = only(device.handle(commandPacket(Command::QueryDevice)));
  EXPECT_EQ(answer[48], 5);
  EXPECT_EQ(le32At(answer, 49), 5u);
  EXPECT_EQ(Bytes(answer.begin() + 57, answer.end()), Bytes(7, 0));
}

TEST(DevsimBootloader, ProgramTakesTheLastBytesOfTheReport) {
  Bootloader device(baseOptions());
  // The zero bytes in front of the data must not reach memory (AND would keep them).
  Reaction reaction = device.handle(programPacket(0x800, sequence(5, 0x11)));
  EXPECT_TRUE(reaction.answers.empty());
  Report read = only(device.handle(getDataPacket(0x7FF, 7)));
  EXPECT_EQ(getDataPayload(read), (Bytes{0xFF, 0x11, 0x12, 0x13, 0x14, 0x15, 0xFF}));
  EXPECT_EQ(device.stats().bytesProgrammed, 5u);
}

TEST(DevsimBootloader, GetDataAnswerIsRightAligned) {
  Bootloader device(baseOptions());
  device.handle(programPacket(0x900, sequence(58, 1)));

  Report four = only(device.handle(getDataPacket(0x900, 4)));
  EXPECT_EQ(four[0], 7);
  EXPECT_EQ(le32At(four, 1), 0x900u);
  EXPECT_EQ(four[5], 4);
  EXPECT_EQ(Bytes(four.begin() + 6, four.begin() + 60), Bytes(54, 0));
  EXPECT_EQ(Bytes(four.begin() + 60, four.end()), (Bytes{1, 2, 3, 4}));

  Report full = only(device.handle(getDataPacket(0x900, 58)));
  EXPECT_EQ(Bytes(full.begin() + 6, full.end()), sequence(58, 1));

  Report unknown = only(device.handle(getDataPacket(0x5000, 2)));
  EXPECT_EQ(getDataPayload(unknown), (Bytes{0xFF, 0xFF}));
}

TEST(DevsimBootloader, EraseClearsAllButType3AndTakesItsTime) {
  Options options = baseOptions();
  options.initialFill = 0x00;
  options.eraseTime = std::chrono::milliseconds(300);
  options.regions = {{0, 0x800, 4}, {3, 0x900, 4}};
  Bootloader device(options);
  Reaction reaction = device.handle(commandPacket(Command::EraseDevice));
  EXPECT_TRUE(reaction.answers.empty());
  EXPECT_EQ(reaction.busyFor, std::chrono::milliseconds(300));
  EXPECT_EQ(getDataPayload(only(device.handle(getDataPacket(0x800, 4)))), Bytes(4, 0xFF));
  EXPECT_EQ(getDataPayload(only(device.handle(getDataPacket(0x900, 4)))), Bytes(4, 0x00));
}

TEST(DevsimBootloader, SilentCommandsAndOddReports) {
  Bootloader device(baseOptions());
  for (std::uint8_t code : {6, 0, 1, 3, 8, 0x55, 0xFF}) {
    EXPECT_TRUE(device.handle(Report{code}).answers.empty()) << int{code};
  }
  EXPECT_TRUE(device.handle(Report{}).answers.empty());
  EXPECT_EQ(device.stats().received(Command::ProgramComplete), 1u);
  EXPECT_EQ(device.stats().reportsReceived, 8u);
  // A one-byte query reads as zero-padded and is answered in full.
  EXPECT_EQ(only(device.handle(Report{2})).size(), kReportSize);
}

TEST(DevsimBootloader, SizesOver58AreRefused) {
  Bootloader device(baseOptions());
  Report program = programPacket(0x800, Bytes(58, 0x00));
  program[5] = 59;
  Reaction written = device.handle(program);
  EXPECT_EQ(written.notes.size(), 1u);
  EXPECT_EQ(device.stats().bytesProgrammed, 0u);
  EXPECT_EQ(getDataPayload(only(device.handle(getDataPacket(0x800, 1)))), Bytes{0xFF});

  Reaction read = device.handle(getDataPacket(0x800, 59));
  EXPECT_TRUE(read.answers.empty());
  EXPECT_EQ(read.notes.size(), 1u);
}

TEST(DevsimBootloader, OutOfRegionBytesAreNoted) {
  Bootloader device(baseOptions());
  Reaction reaction = device.handle(programPacket(0x17FE, Bytes{0, 0, 0, 0}));  // region ends at 0x1800
  EXPECT_EQ(device.stats().bytesOutsideRegions, 2u);
  ASSERT_EQ(reaction.notes.size(), 1u);
  EXPECT_NE(reaction.notes[0].find("2 bytes outside"), std::string::npos);
}

TEST(DevsimFaults, NeverAnswer) {
  Options options = baseOptions();
  options.faults.neverAnswer = true;
  Bootloader device(options);
  EXPECT_TRUE(device.handle(commandPacket(Command::QueryDevice)).answers.empty());
  EXPECT_TRUE(device.handle(getDataPacket(0x800, 4)).answers.empty());
}

TEST(DevsimFaults, WrongCodeInEveryAnswer) {
  Options options = baseOptions();
  options.faults.wrongCode = 3;
  Bootloader device(options);
  EXPECT_EQ(only(device.handle(commandPacket(Command::QueryDevice)))[0], 3);
  Report read = only(device.handle(getDataPacket(0x800, 4)));
  EXPECT_EQ(read[0], 3);
  EXPECT_EQ(read[5], 4);
}

TEST(DevsimFaults, CorruptAddressReadsInvertedButIsStoredIntact) {
  Options options = baseOptions();
  options.faults.corruptAddresses = {0x802};
  Bootloader device(options);
  device.handle(programPacket(0x800, Bytes{0x10, 0x20, 0x30, 0x40}));
  EXPECT_EQ(getDataPayload(only(device.handle(getDataPacket(0x800, 4)))), (Bytes{0x10, 0x20, 0xCF, 0x40}));
  EXPECT_EQ(device.memory().read(0x802, 1), Bytes{0x30});
}

TEST(DevsimFaults, ShortGetDataShrinksCountAndData) {
  Options options = baseOptions();
  options.faults.shortGetData = 3;
  Bootloader device(options);
  device.handle(programPacket(0x800, sequence(10, 1)));
  Report read = only(device.handle(getDataPacket(0x800, 10)));
  EXPECT_EQ(read[5], 7);
  EXPECT_EQ(Bytes(read.begin() + 57, read.end()), sequence(7, 1));
  EXPECT_EQ(Bytes(read.begin() + 6, read.begin() + 57), Bytes(51, 0));
  EXPECT_EQ(only(device.handle(getDataPacket(0x800, 2)))[5], 0);
}

TEST(DevsimFaults, UnsolicitedAtSessionStartAndAheadOfQueryAnswers) {
  Options options = baseOptions();
  options.faults.unsolicited = true;
  Bootloader device(options);
  Report stray(kReportSize, 0);
  stray[0] = kUnsolicitedCode;
  EXPECT_EQ(device.sessionStarted(), std::vector<Report>{stray});
  Reaction query = device.handle(commandPacket(Command::QueryDevice));
  EXPECT_EQ(query.ahead, std::vector<Report>{stray});
  ASSERT_EQ(query.answers.size(), 1u);
  EXPECT_EQ(query.answers[0][0], 2);
  EXPECT_EQ(query.answerDelay, kUnsolicitedLead);
  EXPECT_EQ(device.handle(getDataPacket(0x800, 1)).answers.size(), 1u);

  EXPECT_TRUE(Bootloader(baseOptions()).sessionStarted().empty());
}

TEST(DevsimFaults, TheAnswerToOneReportGoesOutTwice) {
  Options options = baseOptions();
  options.faults.answerTwiceTo = 2;
  Bootloader device(options);
  EXPECT_EQ(device.handle(commandPacket(Command::QueryDevice)).answers.size(), 1u);
  Reaction twice = device.handle(getDataPacket(0x800, 4));
  ASSERT_EQ(twice.answers.size(), 2u);
  EXPECT_EQ(twice.answers[0], twice.answers[1]);
  EXPECT_EQ(twice.answers[0][0], static_cast<std::uint8_t>(Command::GetData));
  EXPECT_EQ(device.handle(getDataPacket(0x800, 4)).answers.size(), 1u);
}

TEST(DevsimFaults, AFloodReportHasItsLengthAndTheStrayCode) {
  Options options = baseOptions();
  options.faults.floodLength = 63;
  Report expected(63, 0);
  expected[0] = kUnsolicitedCode;
  EXPECT_EQ(Bootloader(options).floodReport(), expected);
}

TEST(DevsimFaults, ReportLengthTruncatesOrPads) {
  Options options = baseOptions();
  options.faults.answerLength = 10;
  Report shortAnswer = only(Bootloader(options).handle(commandPacket(Command::QueryDevice)));
  EXPECT_EQ(shortAnswer.size(), 10u);
  EXPECT_EQ(shortAnswer[1], 56);

  options.faults.answerLength = 100;
  Report longAnswer = only(Bootloader(options).handle(getDataPacket(0x800, 2)));
  ASSERT_EQ(longAnswer.size(), 100u);
  EXPECT_EQ(longAnswer[63], 0xFF);
  EXPECT_EQ(Bytes(longAnswer.begin() + 64, longAnswer.end()), Bytes(36, 0));
}

// A region no device could hold is listed all the same, after the real ones; there is no
// memory behind it.
TEST(DevsimFaults, PhantomRegionsAreListedButHeldNowhere) {
  Options options = baseOptions();
  options.regions = {{0, 0x800, 16}};
  options.faults.phantomRegions = {{1, 0x1000, 0x80000000}};
  Bootloader device(options);
  Report answer = only(device.handle(commandPacket(Command::QueryDevice)));
  EXPECT_EQ(answer[3], 0);
  EXPECT_EQ(le32At(answer, 4), 0x800u);
  EXPECT_EQ(answer[12], 1);
  EXPECT_EQ(le32At(answer, 13), 0x1000u);
  EXPECT_EQ(le32At(answer, 17), 0x80000000u);
  EXPECT_EQ(answer[21], kRegionEndMarker);
  ASSERT_EQ(device.memory().regions().size(), 1u);
  device.handle(programPacket(0x1000, Bytes{0x00, 0x00}));
  EXPECT_EQ(device.stats().bytesOutsideRegions, 2u);
  EXPECT_EQ(getDataPayload(only(device.handle(getDataPacket(0x1000, 2)))), Bytes(2, 0xFF));
}

}  // namespace
}  // namespace devsim
