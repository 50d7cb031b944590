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
// first `written` bytes (counted over the regions in order) with the rest erased. readBack:
// the traffic shows that every region was read back to its end (where the user sees no
// verdict, the output being gone).
struct Memory {
  bool untouched;
  size_t written;
  bool readBack = false;
};
constexpr Memory kUntouched{true, 0};
constexpr Memory kErased{false, 0};
constexpr Memory kUpdated{false, std::numeric_limits<size_t>::max()};
constexpr Memory kVerified{false, std::numeric_limits<size_t>::max(), true};
constexpr Memory Written(size_t bytes) { return {false, bytes}; }

// Who goes away once the interruption's text shows, before the user acts: the reader of the
// updater's standard output (as `| head` does once it has its lines) or of its error stream,
// or the terminal the updater runs on (its window is closed).
enum class Gone { kNobody, kOutputReader, kErrorReader, kTerminal };

// The user tries to end the updater once its output holds shownText (shownTimes times over):
// types a line (such as "q") or sends a signal. typedFirst is what the script has typed
// before; on a terminal the user types it once the main window shows its Start.
struct Interruption {
  std::string shownText;
  std::string typed;
  int signal = 0;
  std::string typedFirst = "s\n";
  Gone gone = Gone::kNobody;
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
  // false: the update is for another product than the simulator plays; no device of its ids.
  bool attached = true;
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
const std::string kMainWindowKeys = "  keys:  [a] Abbrechen  [s] Start  [q] Beenden\n";

void GoAway(Gone gone, testsupport::BackgroundProcess& updater) {
  switch (gone) {
    case Gone::kNobody: break;
    case Gone::kOutputReader: updater.CloseOutput(); break;
    case Gone::kErrorReader: updater.CloseErrors(); break;
    // The test holds the terminal's only ends: closing them closes the terminal.
    case Gone::kTerminal:
      updater.CloseInput();
      updater.CloseOutput();
      break;
  }
}

// The read-back requests (GET_DATA) in the simulator's traffic log, and the number a full
// verification of the regions sends, 56 bytes each.
size_t ReadBackRequests(const std::string& traffic) {
  size_t requests = 0;
  std::istringstream lines(traffic);
  for (std::string line; std::getline(lines, line);) requests += line.starts_with("OUT 07") ? 1 : 0;
  return requests;
}
size_t FullReadBack(const std::vector<Region>& regions) {
  size_t requests = 0;
  for (const Region& region : regions) requests += region.type == 3 ? 0 : (region.size + 55) / 56;
  return requests;
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, EndsInAMessageAndABoundedExit) {
  const FaultCase& c = GetParam();
  // Every writer to the error stream has something to write, where its reader goes away.
  const testsupport::ScopedEnv debugLog("UPDATER_DEBUG_LOG_STDERR", "1");
  ProgramTree tree;
  const Firmware firmware = FirmwareFor(c.regions);
  tree.WriteUpdate(c.firmwareText ? c.firmwareText(firmware.intelHex) : firmware.intelHex, 0x1234,
                   c.attached ? 0x5678 : 0x5679);
  std::vector<std::string> options{"--initial-fill", std::to_string(kOldFirmware)};
  const std::vector<std::string> layout = RegionOptions(c.regions);
  options.insert(options.end(), layout.begin(), layout.end());
  options.insert(options.end(), c.device.begin(), c.device.end());
  tree.StartSimulator(options);

  std::optional<testsupport::ScopedEnv> debugLogToStderr;
  if (!c.logged.empty()) debugLogToStderr.emplace("UPDATER_DEBUG_LOG_STDERR", "1");
  const Interruption& user = c.interruption;
  const bool onTerminal = user.gone == Gone::kTerminal;
  std::string input = user.shownText.empty() ? "s\n" : user.typedFirst;
  std::vector<ProgramTree::UserStep> steps;
  if (onTerminal && !input.empty()) {
    // A terminal takes a line as it comes: the user types once the button is there.
    steps.push_back({kMainWindowKeys, [typed = std::exchange(input, {})](auto& updater) { updater.WriteInput(typed); }});
  }
  if (!user.shownText.empty()) {
    steps.push_back({user.shownText, [&](testsupport::BackgroundProcess& updater) {
                       GoAway(user.gone, updater);
                       updater.WriteInput(user.typed);
                       if (user.signal != 0) updater.Signal(user.signal);
                     },
                     user.shownTimes});
  }
  const ProgramRun run = tree.RunUpdaterActingOn(input, steps, c.latest + 30s,
                                                 onTerminal ? testsupport::Streams::kTerminal : testsupport::Streams::kPipes);
  const std::string simulatorErr = tree.StopSimulator();

  EXPECT_EQ(run.exitCode, 0) << "killed after the time-out or ended by a signal\n" << run.out << run.err;
  EXPECT_EQ(Messages(run.out), c.messages) << run.out;
  EXPECT_FALSE(SanitizerSpoke(run.err)) << run.err;
  EXPECT_FALSE(SanitizerSpoke(simulatorErr)) << simulatorErr;
  EXPECT_GE(run.took, c.earliest);
  EXPECT_LT(run.took, c.latest);
  EXPECT_EQ(ReadMemoryDump(tree.MemoryDump()), Expected(c.memory, firmware));
  const std::string traffic = testsupport::ReadFile(tree.Traffic());
  if (c.memory.readBack) {
    EXPECT_EQ(ReadBackRequests(traffic), FullReadBack(c.regions));
  }
  // A signal that came while quitting was held is noted (where the error stream is still
  // read); one before ends the program at once.
  const bool noted = user.signal != 0 && !c.memory.untouched;
  if (noted && user.gone != Gone::kErrorReader) {
    EXPECT_NE(run.err.find(fw::SignalName(user.signal) + " noted"), std::string::npos) << run.err;
  } else if (!noted) {
    EXPECT_EQ(run.err.find("noted"), std::string::npos) << run.err;
  }
  if (c.memory.untouched && (user.signal != 0 || user.gone != Gone::kNobody || !c.attached)) {
    EXPECT_EQ(traffic, "") << "nothing sent";
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
                  {kInvalidLength + "\n", "s\n", 0, "", Gone::kNobody, 100}, nullptr, true,
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
                  }},
        // The first data record's line (after the extended linear address) ends in LF alone, so
        // the record at 0x810 shares its CR LF line.
        FaultCase{"ARecordLineEndingInALineFeedAlone", {}, {"Invalid file format."}, kUntouched, 0s, 15s, kOneRegion,
                  {},
                  [](const std::string& fitting) {
                    std::string text = fitting;
                    return text.erase(text.find("\r\n", text.find("\r\n") + 2), 1);
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
                  {kMainWindowKeys, "", SIGTERM, ""}},
        // Ctrl+\ on a terminal: held as Ctrl+C is.
        FaultCase{"SigquitDuringTheErase", {"--erase-ms", "3000"}, {kInstalled}, kUpdated, 3s, 20s, kOneRegion,
                  {kQuittingHeld, "", SIGQUIT}},
        FaultCase{"SigquitBeforeTheStart", {}, {}, kUntouched, 0s, 10s, kOneRegion, {kMainWindowKeys, "", SIGQUIT, ""}}),
    [](const auto& info) { return info.param.name; });

// The updater always ends, and never cuts the update short: the reader of an output goes
// away (a write fails and is dropped), the terminal is closed (SIGHUP, its input ends; a box
// is taken as read, the failure's too), or a script waits for a device that is not there.
INSTANTIATE_TEST_SUITE_P(
    Ends, FaultMatrix,
    ::testing::Values(
        FaultCase{"OutputReaderGoneWhileProgramming", {"--pace"}, {}, kVerified, 0s, 20s, kLargerRegion,
                  {kProgramming, "", 0, "s\n", Gone::kOutputReader}},
        // The signal's note, the line not understood and the debug log all write to it.
        FaultCase{"ErrorReaderGoneAndSigintDuringTheErase", {"--erase-ms", "3000"}, {kInstalled}, kVerified, 3s, 20s,
                  kOneRegion, {kQuittingHeld, "hello\n", SIGINT, "s\n", Gone::kErrorReader}},
        FaultCase{"TerminalClosedDuringTheErase", {"--erase-ms", "3000"}, {}, kVerified, 3s, 20s, kOneRegion,
                  {kQuittingHeld, "", 0, "s\n", Gone::kTerminal}},
        FaultCase{"TerminalClosedThenUnpluggedWhileProgramming", {"--erase-ms", "3000", "--vanish-after", "6"}, {},
                  Written(3 * 56), 7s, 25s, kOneRegion, {kQuittingHeld, "", 0, "s\n", Gone::kTerminal}},
        FaultCase{"TerminalClosedBeforeTheStart", {}, {}, kUntouched, 0s, 10s, kOneRegion,
                  {kMainWindowKeys, "", 0, "", Gone::kTerminal}},
        // The script's "s" waits for Start; the search gives up with its message, as Cancel.
        FaultCase{"ScriptWithNoDevice", {}, {"No device found."}, kUntouched, 10s, 25s, kOneRegion, {}, nullptr,
                  false}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace app_test
