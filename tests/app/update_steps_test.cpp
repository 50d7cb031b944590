// The main window's step machine against the simulator: what the user sees after each
// step, which answers of the device stop the update before anything is erased, and Cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "command_packets.h"
#include "hid.h"
#include "update_run.h"
#include "user_messages.h"

namespace app_test {
namespace {

using namespace std::chrono_literals;
using devsim::Command;

class UpdateSteps : public UpdateTest {};

struct FamilyCase {
  uint8_t family;
  int bytesPerAddress;

  friend void PrintTo(const FamilyCase& c, std::ostream* out) { *out << "family " << int{c.family}; }
};

class EachFamily : public UpdateTest, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(EachFamily, IsUpdatedWithTheWindowShowingEveryStep) {
  const FamilyCase& c = GetParam();
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x100}, {1, 0x10000, 64}}, c.bytesPerAddress);

  EXPECT_EQ(Update(Device(firmware.regions, 56, c.family), firmware.intelHex), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kInstalled});
  EXPECT_EQ(HID::bytesPerAddress, c.bytesPerAddress);
  EXPECT_EQ(DeviceMemory(), firmware.bytes);
  const devsim::BootloaderStats stats = DeviceStats();
  EXPECT_EQ(stats.received(Command::QueryDevice), 2u);
  EXPECT_EQ(stats.received(Command::EraseDevice), 1u);

  // Start changes the headline and disables itself at once; each step follows the last
  // by the timer's 100 ms or more.
  ASSERT_EQ(steps.size(), 9u);
  EXPECT_EQ(steps[0].headline, "Installing new firmware... Do not disconnect.");
  for (int32_t count = 1; count <= 8; ++count) {
    SCOPED_TRACE(count);
    EXPECT_GE(steps[count].at - steps[count - 1].at, 100ms);
    EXPECT_FALSE(steps[count].startEnabled);
    // From the erase on the update cannot be cancelled.
    EXPECT_EQ(steps[count].cancelEnabled, count < 4);
    if (count < 8) {
      EXPECT_EQ(steps[count].headline, steps[0].headline);
    }
    if (count < 6) {
      EXPECT_EQ(steps[count].bar, 0);
    }
  }
  const char* const infos[] = {"",
                               "Query device status...",
                               "Reading update data...",
                               "Preparing device...",
                               "Preparing device...",
                               "Preparing device...",
                               "Writing new firmware to device...",
                               "Verify firmware...",
                               "Done."};
  for (int32_t count = 1; count <= 8; ++count) EXPECT_EQ(steps[count].info, infos[count]) << count;
  EXPECT_EQ(steps[6].bar, 100);
  EXPECT_EQ(steps[8].headline, "New firmware installed.");
  EXPECT_EQ(steps[8].bar, steps[7].bar) << "the finish leaves the bar as the verification left it";
}

INSTANTIATE_TEST_SUITE_P(Families, EachFamily, ::testing::Values(FamilyCase{1, 1}, FamilyCase{2, 2}, FamilyCase{3, 1}),
                         [](const auto& info) { return "Family" + std::to_string(info.param.family); });

struct CancelCase {
  std::string name;
  int32_t pressAt;  // the step count after which Cancel is pressed; -1: before Start
  bool installed;

  friend void PrintTo(const CancelCase& c, std::ostream* out) { *out << c.name; }
};

class CancelPressed : public UpdateTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelPressed, QuitsUntilTheEraseAndIsIgnoredFromThenOn) {
  const CancelCase& c = GetParam();
  pressStart = c.pressAt >= 0;
  bool pressed = false;
  script = [&](int32_t count) {
    if (!pressed && (c.pressAt < 0 || count == c.pressAt)) {
      pressed = true;
      frontEnd.Press("mainWindow", "Cancelbutton");
    }
  };
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x100}});

  EXPECT_EQ(Update(Device(firmware.regions), firmware.intelHex), 0);
  const devsim::BootloaderStats stats = DeviceStats();
  if (c.installed) {
    EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kInstalled});
    return;
  }
  EXPECT_TRUE(frontEnd.messages.empty());
  EXPECT_EQ(stats.received(Command::EraseDevice), 0u);
  if (c.pressAt < 0) {
    EXPECT_EQ(stats.reportsReceived, 0u) << "nothing is sent before Start";
  } else {
    EXPECT_EQ(steps.rbegin()->first, c.pressAt) << "no step runs after Cancel";
  }
}

INSTANTIATE_TEST_SUITE_P(Moments, CancelPressed,
                         ::testing::Values(CancelCase{"BeforeStart", -1, false}, CancelCase{"AfterLoading", 2, false},
                                           CancelCase{"AfterTheErase", 4, true},
                                           CancelCase{"AfterProgramming", 6, true}),
                         [](const auto& info) { return info.param.name; });

// A device whose first answer the update cannot go on from: the user is told why, the
// program quits with 0 after the first step, and the device is never erased.
struct FirstAnswerCase {
  std::string name;
  std::function<void(devsim::Options&)> device;
  std::vector<std::string> messages;
  int32_t bytesPerAddress;  // as the step leaves it

  friend void PrintTo(const FirstAnswerCase& c, std::ostream* out) { *out << c.name; }
};

class UnusableFirstAnswer : public UpdateTest, public ::testing::WithParamInterface<FirstAnswerCase> {};

TEST_P(UnusableFirstAnswer, StopsTheUpdateBeforeTheErase) {
  const FirstAnswerCase& c = GetParam();
  devsim::Options options = Device({{0, 0x800, 0x100}});
  c.device(options);

  EXPECT_EQ(Update(options, FirmwareFor({{0, 0x800, 0x100}}).intelHex), 0);
  EXPECT_EQ(frontEnd.messages, c.messages);
  EXPECT_EQ(steps.rbegin()->first, 1) << "no step after the first";
  EXPECT_EQ(HID::memoryRegionsDetected, 0) << "no region taken";
  EXPECT_EQ(HID::bytesPerAddress, c.bytesPerAddress);
  const devsim::BootloaderStats stats = DeviceStats();
  EXPECT_EQ(stats.reportsReceived, 1u) << "only the query";
  EXPECT_EQ(stats.received(Command::QueryDevice), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, UnusableFirstAnswer,
    ::testing::Values(
        FirstAnswerCase{"Code3", [](devsim::Options& o) { o.faults.wrongCode = 3; }, {"Wrong answer from device.\n\n3"}, 0},
        FirstAnswerCase{"Family0", [](devsim::Options& o) { o.family = 0; }, {"Unknown type of device.\n\n0"}, 0},
        FirstAnswerCase{"Family4", [](devsim::Options& o) { o.family = 4; }, {"Unknown type of device.\n\n4"}, 0},
        FirstAnswerCase{"None", [](devsim::Options& o) { o.faults.neverAnswer = true; },
                        {kNoAnswer}, 0},
        FirstAnswerCase{"NoBytesPerPacket", [](devsim::Options& o) { o.bytesPerPacket = 0; },
                        {"Wrong answer from device.\n\nBytesPerPacket: 0"}, 1},
        FirstAnswerCase{"BytesPerPacketOver58", [](devsim::Options& o) { o.bytesPerPacket = 59; },
                        {"Wrong answer from device.\n\nBytesPerPacket: 59"}, 1},
        FirstAnswerCase{"OddBytesPerPacketForFamily2",
                        [](devsim::Options& o) {
                          o.family = 2;
                          o.bytesPerPacket = 55;
                        },
                        {"Wrong answer from device.\n\nBytesPerPacket: 55"}, 2},
        FirstAnswerCase{"RegionAcross0x80000000",
                        [](devsim::Options& o) {
                          o.family = 3;
                          o.bytesPerPacket = 58;
                          o.regions.push_back({0, 0x7FFFFF00, 0x200});
                        },
                        {"Invalid memory region reported by device.\n\nRegion 2: address 7FFFFF00, size 512"}, 1},
        FirstAnswerCase{"Empty", [](devsim::Options& o) { o.faults.answerLength = 0; },
                        {"Invalid data length received.", "Wrong answer from device.\n\n0"}, 0},
        FirstAnswerCase{"TwoBytes", [](devsim::Options& o) { o.faults.answerLength = 2; },
                        {"Invalid data length received.", "Unknown type of device.\n\n0"}, 0},
        // Fields that all read well do not make up for the length: such a device is not erased.
        FirstAnswerCase{"SixtyThreeBytes", [](devsim::Options& o) { o.faults.answerLength = 63; },
                        {"Invalid data length received.", "Wrong answer from device.\n\nLength: 63"}, 1},
        FirstAnswerCase{"SixtyFiveBytes", [](devsim::Options& o) { o.faults.answerLength = 65; },
                        {"Invalid data length received.", "Wrong answer from device.\n\nLength: 65"}, 1}),
    [](const auto& info) { return info.param.name; });

TEST_F(UpdateSteps, NoAnswerToTheQueryIsGivenUpAfterTwoSeconds) {
  devsim::Options options = Device({{0, 0x800, 0x100}});
  options.faults.neverAnswer = true;
  EXPECT_EQ(Update(options, FirmwareFor({{0, 0x800, 0x100}}).intelHex), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kNoAnswer});
  const fw::Milliseconds waited = steps[1].at - steps[0].at;
  EXPECT_GE(waited, 2100ms) << "the timer's 100 ms and the read's 2 s";
  EXPECT_LT(waited, 2300ms);
  EXPECT_EQ(HID::bytesPerAddress, 0);
}

// The simulator's erase takes real time while the updater runs on virtual time, in which a
// real second is many reads of two seconds.
TEST_F(UpdateSteps, ADeviceBusyErasingIsWaitedForReadAfterRead) {
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x100}});
  devsim::Options options = Device(firmware.regions);
  options.eraseTime = 1500ms;
  EXPECT_EQ(Update(options, firmware.intelHex), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kInstalled});
  EXPECT_EQ(DeviceMemory(), firmware.bytes);
  EXPECT_GT(steps[5].at - steps[4].at, 2s) << "more than one read of two seconds";
  EXPECT_EQ(steps[5].info, "Preparing device...");
  EXPECT_EQ(DeviceStats().received(Command::QueryDevice), 2u) << "one query, read until it is answered";
}

// Firmware that the loader refuses, or of which nothing lands where programming writes: the
// user is told, the update ends after loading and the device is never erased.
struct RefusedFirmwareCase {
  std::string name;
  std::vector<Region> device;
  std::string intelHex;
  std::string message;

  friend void PrintTo(const RefusedFirmwareCase& c, std::ostream* out) { *out << c.name; }
};

class RefusedFirmware : public UpdateTest, public ::testing::WithParamInterface<RefusedFirmwareCase> {};

TEST_P(RefusedFirmware, StopsTheUpdateBeforeTheErase) {
  const RefusedFirmwareCase& c = GetParam();
  EXPECT_EQ(Update(Device(c.device), c.intelHex), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{c.message});
  EXPECT_EQ(steps.rbegin()->first, 2);
  EXPECT_EQ(steps[2].bar, 0);
  EXPECT_EQ(DeviceStats().received(Command::EraseDevice), 0u);
  EXPECT_EQ(DeviceStats().reportsReceived, 1u) << "only the query";
}

std::string WithLineEnds(std::string text, const std::string& lineEnd) {
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += lineEnd.size()) {
    text.replace(at, 2, lineEnd);
  }
  return text;
}

std::string WithoutEndRecord(const std::string& text) {
  return text.substr(0, text.rfind(":00000001FF"));
}

const std::string kFirmwareAt0x800 = FirmwareFor({{0, 0x800, 0x100}}).intelHex;

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedFirmware,
    ::testing::Values(
        RefusedFirmwareCase{"ABadChecksum", {{0, 0x800, 0x100}}, ":0100000000FE\r\n:00000001FF\r\n",
                            "Checksum Error: 255 <> 254"},
        // As toolchains write it by default: the text reads as one line that never ends.
        RefusedFirmwareCase{"LineFeedsAlone", {{0, 0x800, 0x100}}, WithLineEnds(kFirmwareAt0x800, "\n"),
                            "Invalid file format."},
        RefusedFirmwareCase{"NoEndRecord", {{0, 0x800, 0x100}}, WithoutEndRecord(kFirmwareAt0x800),
                            "Invalid file format."},
        RefusedFirmwareCase{"DataOutsideEveryRegion", {{0, 0x800, 0x100}},
                            FirmwareFor({{0, 0x20000, 0x100}}).intelHex, "Update does not match the device."},
        RefusedFirmwareCase{"DataOnlyInAProtectedRegion", {{3, 0x800, 0x100}}, kFirmwareAt0x800,
                            "Update does not match the device."},
        RefusedFirmwareCase{"NoRegions", {}, kFirmwareAt0x800, "Update does not match the device."}),
    [](const auto& info) { return info.param.name; });

// Reports of the device's own: the one at the session's start is dropped before the first
// query is sent; the one ahead of the query's answer comes first and is refused. The update
// never reports success on them. Start waits until the first has come: the device sends it as
// it is opened, and without the wait it could come after the first query had gone out.
TEST_F(UpdateSteps, ADeviceThatSendsReportsOfItsOwnIsNeverTakenForUpdated) {
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x100}});
  devsim::Options options = Device(firmware.regions);
  options.faults.unsolicited = true;
  pressStart = false;
  script = [this, pressed = false](int32_t) mutable {
    if (pressed || !Logged("ReceiveData: 55" + std::string(126, '0'))) return;
    pressed = true;
    frontEnd.Press("mainWindow", "StartButton");
  };
  EXPECT_EQ(Update(options, firmware.intelHex), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{"Wrong answer from device.\n\n85"});
  EXPECT_TRUE(Logged("Report dropped, received before the command: 55" + std::string(126, '0')));
}

// A device that answered the first query twice: the copy left queued must not end the wait
// after the erase, while the device still erases.
TEST_F(UpdateSteps, AnAnswerLeftFromTheFirstQueryDoesNotEndTheWaitAfterTheErase) {
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x100}});
  devsim::Options options = Device(firmware.regions);
  options.eraseTime = 1500ms;
  options.faults.answerTwiceTo = 1;
  EXPECT_EQ(Update(options, firmware.intelHex), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kInstalled});
  EXPECT_EQ(DeviceMemory(), firmware.bytes);
  EXPECT_GT(steps[5].at - steps[4].at, 2s) << "waited for the device to come back from the erase";
  const auto dropped = std::count_if(LogLines().begin(), LogLines().end(), [](const std::string& line) {
    return line.starts_with("Report dropped, received before the command: 023801");
  });
  EXPECT_EQ(dropped, 1) << "the second answer to the first query";
}

// A device that sends reports of the wrong length without end, from the moment it connects.
// The box of the first stays up, as on a terminal until the user presses Enter: meanwhile the
// others are queued without a box of their own, so that boxes never open inside one another,
// and the queue keeps the newest of them, so that it does not grow while the box waits.
TEST_F(UpdateSteps, WhileTheBoxOfAReportOfTheWrongLengthIsUpOthersAreQueuedNotBoxed) {
  const std::string kLength = "Invalid data length received.";
  devsim::Options options = DeviceOptions();
  options.faults.floodLength = 63;
  WriteUpdate(FirmwareFor({{0, 0x800, 0x100}}).intelHex);
  StartDevice(options);
  // Counted as the lines come: the log grows by a line or two for every report.
  struct Counted {
    std::string prefix;
    std::ptrdiff_t count = 0;
  };
  Counted received{"ReceiveData: 55"};
  Counted unboxed{"Invalid data length received (63 bytes), queued without a message: the message of an earlier "
                  "report is up."};
  Counted dropped{"Report dropped, "};  // to make room, or before a command
  size_t seen = 0;
  const auto count = [&] {
    for (; seen < LogLines().size(); ++seen) {
      for (Counted* counted : {&received, &unboxed, &dropped}) {
        counted->count += LogLines()[seen].starts_with(counted->prefix);
      }
    }
  };
  const auto queued = [] { return HID::DeviceMac ? HID::DeviceMac->datas.size() : size_t{0}; };
  int nested = 0;
  size_t mostQueued = 0;
  std::optional<size_t> queuedAtRelease;
  bool holding = false;
  bool cancelled = false;
  frontEnd.onMessage = [&](const std::string&) {
    if (holding) ++nested;
    if (frontEnd.messages.size() > 1) return true;  // read at once
    holding = true;                                 // the first stays up
    return false;
  };
  frontEnd.onUpdate = [&] {
    // Cancel in a pass after the one that dismissed the box: the box takes all input until its
    // pass has ended.
    if (queuedAtRelease && !cancelled && frontEnd.FindWindow("mainWindow")) {
      cancelled = true;
      frontEnd.Press("mainWindow", "Cancelbutton");
    }
    mostQueued = std::max(mostQueued, queued());
    count();
    // Dismissed once many reports have come meanwhile.
    if (holding && received.count > 200) {
      holding = false;
      queuedAtRelease = queued();
      EXPECT_EQ(unboxed.count, received.count - 1) << "every report but the first, each with a line";
      // Every report that came is queued, or was dropped with a log line.
      EXPECT_EQ(received.count, static_cast<std::ptrdiff_t>(*queuedAtRelease) + dropped.count);
      frontEnd.DismissMessage();
    }
  };
  EXPECT_EQ(RunUpdater(), 0);
  count();
  EXPECT_EQ(nested, 0) << "boxes opened inside the box of the first report";
  EXPECT_EQ(queuedAtRelease, MyOrvane::MostQueuedReports);
  EXPECT_EQ(mostQueued, MyOrvane::MostQueuedReports);
  ASSERT_FALSE(frontEnd.messages.empty());
  EXPECT_EQ(std::count(frontEnd.messages.begin(), frontEnd.messages.end(), kLength),
            static_cast<std::ptrdiff_t>(frontEnd.messages.size()));
  EXPECT_EQ(received.count, unboxed.count + static_cast<std::ptrdiff_t>(frontEnd.messages.size()))
      << "every report logged as it came";
}

}  // namespace
}  // namespace app_test
