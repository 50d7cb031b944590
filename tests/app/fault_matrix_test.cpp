// Every way a device can go wrong, end to end: the real updater against the real simulator
// program, in the terminal front end. Whatever the device does, the user is told in plain
// words, the program quits with 0 in bounded time, nothing crashes and no sanitizer speaks
// up; and a device whose fault shows before the erase keeps its memory as it was.
//
// The rows that end only at the minute's bound after the erase, and the slow erase, are
// named Slow/...: they are labelled long, so that a parallel run starts them first.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "files.h"
#include "program_tree.h"
#include "scoped_env.h"
#include "ui/quit_signals.h"
#include "user_messages.h"

namespace app_test {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

constexpr uint8_t kOldFirmware = 0x5A;  // every byte of the device's memory before the update

// What the device's memory holds once the updater has ended: as it was, or the firmware's
// first `written` bytes (counted over the regions in order) with the rest erased.
struct Memory {
  bool untouched;
  size_t written;
};
constexpr Memory kUntouched{true, 0};
constexpr Memory kErased{false, 0};
constexpr Memory kUpdated{false, std::numeric_limits<size_t>::max()};
constexpr Memory Written(size_t bytes) { return {false, bytes}; }

// The user tries to end the updater once its output holds shownText (shownTimes times over):
// types a line (such as "q") or sends a signal. typedFirst is what the script has typed before.
struct Interruption {
  std::string shownText;
  std::string typed;
  int signal = 0;
  std::string typedFirst = "s\n";
  size_t shownTimes = 1;
};

// Lines of the debug log that start with `start`, and how many of them the run writes.
struct LogLines {
  std::string start;
  size_t count;
};

struct FaultCase {
  std::string name;
  std::vector<std::string> device;  // simulator options beyond the regions
  std::vector<std::string> messages;
  Memory memory;
  milliseconds earliest;  // the exit comes no sooner: the bound that ends the row
  milliseconds latest;    // and no later, with room for a loaded machine
  std::vector<Region> regions = {{0, 0x800, 0x400}};
  Interruption interruption = {};
  // The update's firmware text made from the one that fills the regions; nullptr: that one.
  std::string (*firmwareText)(const std::string& fitting) = nullptr;
  // Checked where given: the debug log then goes to standard error as well.
  std::vector<LogLines> logged = {};

  friend void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }
};

// The texts of the message boxes, in order: the terminal shows each between two "+--" lines.
std::vector<std::string> Messages(const std::string& out) {
  std::vector<std::string> messages;
  std::istringstream lines(out);
  bool inBox = false;
  std::string text;
  for (std::string line; std::getline(lines, line);) {
    if (line == "+--") {
      if (inBox) messages.push_back(text);
      inBox = !inBox;
      text.clear();
    } else if (inBox) {
      text += (text.empty() ? "" : "\n") + line;
    }
  }
  return messages;
}

// A report of either sanitizer, or of the leak checker, in a program's standard error.
bool SanitizerSpoke(const std::string& err) {
  for (const char* mark : {"ERROR: AddressSanitizer", "runtime error:", "LeakSanitizer"}) {
    if (err.find(mark) != std::string::npos) return true;
  }
  return false;
}

std::vector<std::vector<uint8_t>> Expected(const Memory& memory, const Firmware& firmware) {
  std::vector<std::vector<uint8_t>> regions;
  size_t left = memory.written;
  for (const std::vector<uint8_t>& image : firmware.bytes) {
    std::vector<uint8_t> bytes(image.size(), memory.untouched ? kOldFirmware : 0xFF);
    const size_t n = memory.untouched ? 0 : std::min(left, image.size());
    std::copy_n(image.begin(), n, bytes.begin());
    left -= n;
    regions.push_back(std::move(bytes));
  }
  return regions;
}

const std::vector<Region> kOneRegion{{0, 0x800, 0x400}};

// Count boxes of text, then the rest.
std::vector<std::string> Repeated(size_t count, const std::string& text, std::vector<std::string> rest) {
  std::vector<std::string> messages(count, text);
  messages.insert(messages.end(), rest.begin(), rest.end());
  return messages;
}

const std::string kInvalidLength = "Invalid data length received.";

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, EndsInAMessageAndABoundedExit) {
  const FaultCase& c = GetParam();
  ProgramTree tree;
  const Firmware firmware = FirmwareFor(c.regions);
  tree.WriteUpdate(c.firmwareText ? c.firmwareText(firmware.intelHex) : firmware.intelHex);
  std::vector<std::string> options{"--initial-fill", std::to_string(kOldFirmware)};
  const std::vector<std::string> layout = RegionOptions(c.regions);
  options.insert(options.end(), layout.begin(), layout.end());
  options.insert(options.end(), c.device.begin(), c.device.end());
  tree.StartSimulator(options);

  std::optional<testsupport::ScopedEnv> debugLogToStderr;
  if (!c.logged.empty()) debugLogToStderr.emplace("UPDATER_DEBUG_LOG_STDERR", "1");
  const Interruption& user = c.interruption;
  const ProgramRun run =
      user.shownText.empty()
          ? tree.RunUpdater("s\n", c.latest + 30s)
          : tree.RunUpdaterActingOn(user.typedFirst, user.shownText, [&](testsupport::BackgroundProcess& updater) {
              updater.WriteInput(user.typed);
              if (user.signal != 0) updater.Signal(user.signal);
            }, c.latest + 30s, user.shownTimes);
  const std::string simulatorErr = tree.StopSimulator();

  EXPECT_EQ(run.exitCode, 0) << "killed after the time-out or ended by a signal\n" << run.out << run.err;
  EXPECT_EQ(Messages(run.out), c.messages) << run.out;
  EXPECT_FALSE(SanitizerSpoke(run.err)) << run.err;
  EXPECT_FALSE(SanitizerSpoke(simulatorErr)) << simulatorErr;
  EXPECT_GE(run.took, c.earliest);
  EXPECT_LT(run.took, c.latest);
  EXPECT_EQ(ReadMemoryDump(tree.MemoryDump()), Expected(c.memory, firmware));
  // A signal that came while quitting was held is noted; one before ends the program at once.
  if (user.signal != 0 && !c.memory.untouched) {
    EXPECT_NE(run.err.find(fw::SignalName(user.signal) + " noted"), std::string::npos) << run.err;
  } else {
    EXPECT_EQ(run.err.find("noted"), std::string::npos) << run.err;
  }
  if (user.signal != 0 && c.memory.untouched) {
    EXPECT_EQ(testsupport::ReadFile(tree.Traffic()), "") << "nothing sent";
  }
  for (const LogLines& lines : c.logged) {
    std::istringstream err(run.err);
    size_t count = 0;
    for (std::string line; std::getline(err, line);) count += line.starts_with(lines.start);
    EXPECT_EQ(count, lines.count) << lines.start;
  }
  RecordProperty("exit_ms", static_cast<int>(run.took.count()));
}

// One region of 1024 bytes at 56 bytes a packet: the reports the device receives are the
// query (1), the erase (2), the query after it (3), 19 packets (4 to 22), the program complete
// (23) and then the read-back requests (24 on).
INSTANTIATE_TEST_SUITE_P(
    Quick, FaultMatrix,
    ::testing::Values(
        FaultCase{"NeverAnswers", {"--never-answer"}, {kNoAnswer}, kUntouched, 2s, 15s},
        FaultCase{"WrongAnswerCode", {"--wrong-code", "3"}, {"Wrong answer from device.\n\n3"}, kUntouched, 0s, 15s},
        FaultCase{"UnpluggedAtTheQuery", {"--vanish-on", "1"}, {kNoAnswer}, kUntouched, 2s, 15s},
        FaultCase{"UnpluggedWhileProgramming", {"--vanish-after", "6"}, {kNoAnswer}, Written(3 * 56), 4s, 20s},
        FaultCase{"UnpluggedWhileVerifying", {"--vanish-after", "25"}, {kNoAnswer}, kUpdated, 4s, 20s},
        FaultCase{"CorruptByte",
                  {"--corrupt", "0x805"},
                  {"Verification failed on address 000805", "Verify failed. Please try again."},
                  kUpdated, 0s, 20s},
        // Only the bytes an answer carries are compared: the device holds the firmware, and the
        // update says so.
        // The bytes a short answer leaves out were never read back: not verified.
        FaultCase{"ShortGetDataAnswers", {"--short-get-data", "5"},
                  {"Verification failed on address 000833", "Verify failed. Please try again."}, kUpdated, 0s, 20s},
        // The report of its own at connection is dropped before the query; the one ahead of the
        // query's answer is read as the answer.
        FaultCase{"UnsolicitedReports", {"--unsolicited"}, {"Wrong answer from device.\n\n85"}, kUntouched, 0s, 15s},
        // A hundred reports of its own at connection: each is shown (a script reads every box at
        // once) and queued; the queue keeps the newest 64. Start, pressed once the hundredth box
        // has been shown, drops them before the first query, whose answer is then taken.
        FaultCase{"FloodOf63ByteReports", {"--flood", "63", "--flood-count", "100"},
                  Repeated(100, kInvalidLength, {kInstalled}), kUpdated, 0s, 20s, kOneRegion,
                  {kInvalidLength + "\n", "s\n", 0, "", 100}, nullptr,
                  {{"ReceiveData: 55", 100},
                   {"Report dropped, 64 newer ones queued: 55", 36},
                   {"Report dropped, received before the command: 55", 64}}},
        FaultCase{"ReportsOf63Bytes",
                  {"--report-length", "63"},
                  {"Invalid data length received.", "Wrong answer from device.\n\nLength: 63"},
                  kUntouched, 0s, 15s},
        FaultCase{"ReportsOf65Bytes",
                  {"--report-length", "65"},
                  {"Invalid data length received.", "Wrong answer from device.\n\nLength: 65"},
                  kUntouched, 0s, 15s},
        FaultCase{"BytesPerPacket0", {"--bytes-per-packet", "0"}, {"Wrong answer from device.\n\nBytesPerPacket: 0"},
                  kUntouched, 0s, 15s},
        FaultCase{"BytesPerPacket59", {"--bytes-per-packet", "59"},
                  {"Wrong answer from device.\n\nBytesPerPacket: 59"}, kUntouched, 0s, 15s},
        FaultCase{"Family0", {"--family", "0"}, {"Unknown type of device.\n\n0"}, kUntouched, 0s, 15s},
        FaultCase{"Family7", {"--family", "7"}, {"Unknown type of device.\n\n7"}, kUntouched, 0s, 15s},
        FaultCase{"NegativeRegionSize",
                  {"--phantom-region", "1:0x10000:0x80000000"},
                  {"Invalid memory region reported by device.\n\nRegion 2: address 10000, size -2147483648"},
                  kUntouched, 0s, 15s},
        FaultCase{"HugeRegionSize",
                  {"--phantom-region", "1:0x10000:0x7FFFFFFF"},
                  {"Invalid memory region reported by device.\n\nRegion 2: address 10000, size 2147483647"},
                  kUntouched, 0s, 15s},
        FaultCase{"RegionPastTheLastAddress",
                  {"--phantom-region", "1:0xFFFFFF00:0x1000"},
                  {"Invalid memory region reported by device.\n\nRegion 2: address FFFFFF00, size 4096"},
                  kUntouched, 0s, 15s},
        FaultCase{"RegionAbove0x80000000", {}, {kInstalled}, kUpdated, 0s, 20s, {{0, 0x800, 0x400}, {1, 0x90000000, 0x400}}},
        // Updates that do not fit the device: refused before the erase, with a word.
        FaultCase{"FirmwareOnlyOutsideTheRegions", {}, {"Update does not match the device."}, kUntouched, 0s, 15s,
                  kOneRegion, {}, [](const std::string&) { return FirmwareFor({{0, 0x300000, 0x400}}).intelHex; }},
        FaultCase{"FirmwareWithLineFeedsAlone", {}, {"Invalid file format."}, kUntouched, 0s, 15s, kOneRegion, {},
                  [](const std::string& fitting) {
                    std::string text;
                    for (char c : fitting) {
                      if (c != '\r') text += c;
                    }
                    return text;
                  }}),
    [](const auto& info) { return info.param.name; });

// Unplugged before the erase has been carried out (steps 2 and 3 send nothing: the device is
// gone when the erase goes out, or as it arrives) or after it: the query that follows the
// erase gets no answer, and the updater gives up when the minute after the erase is over.
INSTANTIATE_TEST_SUITE_P(
    Slow, FaultMatrix,
    ::testing::Values(
        FaultCase{"EraseTaking30Seconds", {"--erase-ms", "30000"}, {kInstalled}, kUpdated, 30s, 50s},
        FaultCase{"UnpluggedWhileLoading", {"--vanish-after", "1"}, {kNoAnswer}, kUntouched, 60s, 80s},
        FaultCase{"UnpluggedWhilePreparing", {"--vanish-on", "2"}, {kNoAnswer}, kUntouched, 60s, 80s},
        FaultCase{"UnpluggedAtTheErase", {"--vanish-after", "2"}, {kNoAnswer}, kErased, 60s, 80s},
        FaultCase{"UnpluggedWhileWaitingAfterTheErase", {"--vanish-on", "3"}, {kNoAnswer}, kErased, 60s, 80s}),
    [](const auto& info) { return info.param.name; });

// The user tries to end the updater: from the erase on (the keys line after "Preparing
// device..." that leaves out Abbrechen, as the erase step disables it) the update goes on to
// its end all the same, and signals are noted; before it, a signal ends the program as Cancel
// does. Programming 16 KiB at the pace of a real device takes about a third of a second.
const std::string kQuittingHeld = "  Preparing device...\n  keys:";
const std::string kProgramming = "  Writing new firmware to device...\n";
const std::vector<Region> kLargerRegion{{0, 0x800, 0x4000}};
INSTANTIATE_TEST_SUITE_P(
    Quit, FaultMatrix,
    ::testing::Values(
        FaultCase{"QuitKeyDuringTheErase", {"--erase-ms", "3000"}, {kInstalled}, kUpdated, 3s, 20s, kOneRegion,
                  {kQuittingHeld, "q\n"}},
        FaultCase{"SigintDuringTheErase", {"--erase-ms", "3000"}, {kInstalled}, kUpdated, 3s, 20s, kOneRegion,
                  {kQuittingHeld, "", SIGINT}},
        FaultCase{"SighupDuringTheErase", {"--erase-ms", "3000"}, {kInstalled}, kUpdated, 3s, 20s, kOneRegion,
                  {kQuittingHeld, "", SIGHUP}},
        FaultCase{"QuitKeyWhileProgramming", {"--pace"}, {kInstalled}, kUpdated, 0s, 20s, kLargerRegion,
                  {kProgramming, "q\n"}},
        FaultCase{"SigtermWhileProgramming", {"--pace"}, {kInstalled}, kUpdated, 0s, 20s, kLargerRegion,
                  {kProgramming, "", SIGTERM}},
        FaultCase{"SigtermBeforeTheStart", {}, {}, kUntouched, 0s, 10s, kOneRegion,
                  {"  keys:  [a] Abbrechen  [s] Start  [q] Beenden (Ctrl+Q)\n", "", SIGTERM, ""}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace app_test
