// The real updater program against the real simulator program, driven through standard
// input as a user's script would drive it.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "background_process.h"
#include "files.h"
#include "program_tree.h"
#include "scoped_env.h"
#include "user_messages.h"
#include "zuv_utilities.h"

namespace app_test {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The traffic log's lines for the images of these regions, cut into pieces of chunk bytes:
// "Address: " and the six-digit address of each piece's first byte, then its bytes.
void AppendAddressLines(std::vector<std::string>& lines, const std::vector<Region>& regions,
                        const std::vector<std::vector<uint8_t>>& images, size_t chunk) {
  for (size_t r = 0; r < regions.size(); ++r) {
    const std::vector<uint8_t>& image = images[r];
    for (size_t pos = 0; pos < image.size(); pos += chunk) {
      char address[16];
      std::snprintf(address, sizeof address, "%06X", regions[r].address + static_cast<uint32_t>(pos));
      const size_t count = std::min(chunk, image.size() - pos);
      lines.push_back("Address: " + std::string(address) + " " +
                      EncodingToHexZuv(std::string(image.begin() + static_cast<std::ptrdiff_t>(pos),
                                                   image.begin() + static_cast<std::ptrdiff_t>(pos + count))));
    }
  }
}

bool Shows(const ProgramRun& run, const std::string& text) { return run.out.find(text) != std::string::npos; }

// The resident memory of the process that runs this program, in kilobytes; nothing when none
// does.
std::optional<long> ResidentKilobytes(const std::filesystem::path& program) {
  const std::filesystem::path wanted = std::filesystem::canonical(program);
  std::error_code error;
  for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
    if (std::filesystem::read_symlink(process.path() / "exe", error) != wanted) continue;
    std::ifstream status(process.path() / "status");
    for (std::string line; std::getline(status, line);) {
      if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    }
  }
  return std::nullopt;
}

TEST(EndToEnd, TheUpdaterWritesTheFirmwareAndTellsTheUserToSwitchOff) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x1000}, {1, 0x10000, 64}});
  tree.WriteUpdate(firmware.intelHex);
  tree.StartSimulator();
  const ProgramRun run = tree.RunUpdater("s\n");
  tree.StopSimulator();
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Shows(run, kInstalled)) << run.out;
  EXPECT_EQ(ReadMemoryDump(tree.MemoryDump()), firmware.bytes);
  EXPECT_LT(run.took, 10s);
}

TEST(EndToEnd, WithoutItsLogoTheUpdaterSaysItIsNotCompleteAndQuitsWithZero) {
  ProgramTree tree;
  tree.StartSimulator();
  const ProgramRun run = tree.RunUpdater("");
  tree.StopSimulator();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "+--\nApplication is not complete.\n+--\n");
  EXPECT_LT(run.took, 5s);
}

// The debug program steps the update from its console, reads by hand between two steps and
// then runs the rest with "Startall". The console's traffic log "Debug" keeps what was read
// before the firmware was loaded; from then on "Memory.txt" holds the memory image, then what
// the programming sent and the verification read back. Both lie next to the program.
TEST(EndToEnd, TheDebugProgramRunsTheUpdateFromItsConsoleAndLogsTheTraffic) {
  const testsupport::ScopedEnv debugLog("UPDATER_DEBUG_LOG_STDERR", "1");
  ProgramTree tree("Updater-debug");
  const std::vector<Region> regions{{0, 0x800, 0x100}, {1, 0x10000, 64}, {3, 0x20000, 16}};
  const Firmware firmware = FirmwareFor(regions);
  tree.WriteUpdate(firmware.intelHex);
  std::vector<std::string> options{"--initial-fill", "0x5A"};
  const std::vector<std::string> layout = RegionOptions(regions);
  options.insert(options.end(), layout.begin(), layout.end());
  tree.StartSimulator(options);
  // The second Startnext waits until the first step has enabled the button again.
  const ProgramRun run = tree.RunUpdater("Startnext\nStartnext\niAddress=&h800\nRead\nStartall\n");
  tree.StopSimulator();
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(kInstalled), std::string::npos);
  const std::string oldFirmware(56, '\x5A');
  // Read shows 56 bytes from the first of the data field on; the device answers at its end.
  EXPECT_NE(run.out.find("  output=0000" + EncodingToHexZuv(oldFirmware.substr(2))), std::string::npos) << run.out;

  EXPECT_EQ(testsupport::ReadLines(tree.Bin() / "Debug"), std::vector<std::string>{"Address: 000800 " + EncodingToHexZuv(oldFirmware)});
  std::vector<std::string> memory;
  // The image of every region, type 3 too (it stays 0xFF: the update carries nothing for it)...
  std::vector<std::vector<uint8_t>> images = firmware.bytes;
  images[2].assign(16, 0xFF);
  AppendAddressLines(memory, regions, images, 58);
  // ... then the programming and the verification, 56 bytes a packet, without type 3.
  const std::vector<Region> written(regions.begin(), regions.begin() + 2);
  const std::vector<std::vector<uint8_t>> writtenImages(firmware.bytes.begin(), firmware.bytes.begin() + 2);
  AppendAddressLines(memory, written, writtenImages, 56);
  AppendAddressLines(memory, written, writtenImages, 56);
  EXPECT_EQ(testsupport::ReadLines(tree.Bin() / "Memory.txt"), memory);

  std::vector<std::string> sent;
  for (const std::string& line : Lines(run.err)) {
    if (line.starts_with("Sending ")) sent.push_back(line);
  }
  EXPECT_EQ(sent, (std::vector<std::string>{"Sending QUERY_DEVICE.", "Sending GET_DATA. Address: 800",
                                            "Sending ERASE_DEVICE.", "Sending QUERY_DEVICE.",
                                            "Sending PROGRAM_COMPLETE.", "Sending PROGRAM_COMPLETE.",
                                            "Sending GET_DATA. Address: 800", "Sending GET_DATA. Address: 838",
                                            "Sending GET_DATA. Address: 870", "Sending GET_DATA. Address: 8A8",
                                            "Sending GET_DATA. Address: 8E0", "Sending GET_DATA. Address: 10000",
                                            "Sending GET_DATA. Address: 10038"}));
  std::vector<std::vector<uint8_t>> device = ReadMemoryDump(tree.MemoryDump());
  device.resize(2);
  EXPECT_EQ(device, writtenImages);
}

struct DeviceCase {
  std::string name;
  int family;
  std::vector<Region> regions;

  friend void PrintTo(const DeviceCase& c, std::ostream* out) { *out << c.name; }
};

class EachDevice : public ::testing::TestWithParam<DeviceCase> {};

// Every family, with memory at both ends of the 32-bit range.
TEST_P(EachDevice, HoldsTheFirmwareAfterTheUpdate) {
  const DeviceCase& c = GetParam();
  ProgramTree tree;
  const Firmware firmware = FirmwareFor(c.regions, c.family == 2 ? 2 : 1);
  tree.WriteUpdate(firmware.intelHex);
  std::vector<std::string> options{"--family", std::to_string(c.family)};
  const std::vector<std::string> regions = RegionOptions(c.regions);
  options.insert(options.end(), regions.begin(), regions.end());
  tree.StartSimulator(options);
  const ProgramRun run = tree.RunUpdater("s\n");
  tree.StopSimulator();
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Shows(run, kInstalled)) << run.out;
  EXPECT_EQ(ReadMemoryDump(tree.MemoryDump()), firmware.bytes);
}

INSTANTIATE_TEST_SUITE_P(Families, EachDevice,
                         ::testing::Values(DeviceCase{"Family1", 1, {{0, 0x800, 0x400}, {1, 0xFFFFFC00, 0x400}}},
                                           DeviceCase{"Family2", 2, {{0, 0x800, 0x200}, {1, 0xC0000000, 0x100}}},
                                           DeviceCase{"Family3", 3, {{0, 0x800, 0x200}, {1, 0x80000000, 0x400}}}),
                         [](const auto& info) { return info.param.name; });

TEST(EndToEnd, ACorruptByteFailsTheVerificationNamingItsAddress) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x400}});
  tree.WriteUpdate(firmware.intelHex);
  std::vector<std::string> options = RegionOptions(firmware.regions);
  options.insert(options.end(), {"--corrupt", "0x805"});
  tree.StartSimulator(options);
  const ProgramRun run = tree.RunUpdater("s\n");
  tree.StopSimulator();
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Shows(run, "Verification failed on address 000805")) << run.out;
  EXPECT_TRUE(Shows(run, "Verify failed. Please try again.")) << run.out;
  EXPECT_FALSE(Shows(run, "Update installed.")) << run.out;
}

// A device that sends reports of the wrong length without end, with the updater on a terminal,
// where a message box waits for Enter: the first report's box stays up while tens of thousands
// more come, each queued without a box of its own, and the program's memory does not grow with
// them: the queue keeps the newest. (Each used to open a box inside the one before, until the
// stack ran out after about 9,000.) script(1) gives the updater a terminal of its own; its
// output and debug log come back on one stream, in the order they were written.
TEST(EndToEnd, OnATerminalAFloodOfReportsOfTheWrongLengthKeepsOneBoxUp) {
  ProgramTree tree;
  tree.WriteUpdate(FirmwareFor({{0, 0x800, 0x1000}, {1, 0x10000, 64}}).intelHex);
  tree.StartSimulator({"--flood", "63"});
  std::vector<std::string> environment = tree.Environment();
  environment.emplace_back("UPDATER_DEBUG_LOG_STDERR=1");
  // AddressSanitizer holds freed memory back (up to 256 MB) before it reuses it: without that
  // the resident memory shows what the program itself keeps. Other builds ignore the variable.
  const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
  environment.push_back("ASAN_OPTIONS=" + std::string(sanitizerOptions ? sanitizerOptions : "") +
                        ":quarantine_size_mb=0:thread_local_quarantine_size_kb=0");
  const std::filesystem::path program = tree.Bin() / "Updater";
  testsupport::BackgroundProcess updater({"/usr/bin/script", "-qfec", "'" + program.string() + "'", "/dev/null"},
                                         environment, "", /*keepInputOpen=*/true);
  constexpr size_t kEarly = 2000;
  constexpr size_t kLate = 20000;
  size_t received = 0;
  size_t unboxed = 0;
  size_t dropped = 0;
  size_t boxes = 0;
  std::optional<long> earlyKilobytes;
  while (unboxed < kLate) {
    std::optional<std::string> line = updater.ReadLine(10s);
    ASSERT_TRUE(line) << "the updater ended or fell silent after " << unboxed << " reports without a box";
    if (line->ends_with('\r')) line->pop_back();  // the terminal's line end
    received += line->starts_with("ReceiveData: 55");
    unboxed += line->starts_with("Invalid data length received (63 bytes), queued without a message");
    dropped += line->starts_with("Report dropped, 64 newer ones queued: 55");
    boxes += *line == "Invalid data length received.";
    // Each report's line comes before the line of its skipped box.
    ASSERT_LE(received, unboxed + 2) << "reports neither shown nor queued without a box";
    if (unboxed == kEarly && !earlyKilobytes) earlyKilobytes = ResidentKilobytes(program);
  }
  const std::optional<long> lateKilobytes = ResidentKilobytes(program);
  EXPECT_EQ(boxes, 1u);
  EXPECT_EQ(received, unboxed + 1);
  EXPECT_EQ(dropped, received - 64) << "all but the newest 64 dropped, each with a line";
  ASSERT_TRUE(earlyKilobytes && lateKilobytes);
  RecordProperty("rss_growth_kb", static_cast<int>(*lateKilobytes - *earlyKilobytes));
  EXPECT_LT(*lateKilobytes - *earlyKilobytes, 1024) << "kB more after " << kLate - kEarly << " more reports";
  updater.Signal(SIGKILL);
  updater.Finish(5s);
  tree.StopSimulator();
}

// Unplugged while the packets go out: programming runs to its end, and the first read-back
// request that gets no answer ends the update.
TEST(EndToEnd, ADeviceThatVanishesWhileProgrammedEndsTheUpdateWithinSeconds) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x400}});
  tree.WriteUpdate(firmware.intelHex);
  std::vector<std::string> options = RegionOptions(firmware.regions);
  options.insert(options.end(), {"--vanish-after", "6"});  // query, erase, query, three packets
  tree.StartSimulator(options);
  const ProgramRun run = tree.RunUpdater("s\n");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(Shows(run, kNoAnswer)) << run.out;
  EXPECT_FALSE(Shows(run, "Update installed.")) << run.out;
  EXPECT_FALSE(Shows(run, "Verify failed.")) << run.out;
  // The simulator's last traffic line is the report it vanished after.
  const auto afterVanish = std::chrono::file_clock::now() - std::filesystem::last_write_time(tree.Traffic());
  EXPECT_LT(afterVanish, 5s) << "four seconds for the first unanswered request, and the quit";
  RecordProperty("exit_after_vanish_ms",
                 static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(afterVanish).count()));
}

// A script's end: what it typed is carried out, a line that no window can take is reported
// and skipped, and a window left waiting for the user is cancelled, so the updater ends.
TEST(EndToEnd, WhenItsScriptHasEndedTheUpdaterEndsOnceWhatItTypedIsCarriedOut) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x400}});
  tree.WriteUpdate(firmware.intelHex);
  const ProgramRun noDevice = tree.RunUpdater("", 20s);
  EXPECT_EQ(noDevice.exitCode, 0) << noDevice.out << noDevice.err;
  EXPECT_LT(noDevice.took, 5s);

  // The device is plugged in 6 s after the start, when the script has ended and the search
  // dialog has polled for it in vain, but before it says "No device found." (10 s): the
  // script's "s" still waits for Start, so the search goes on.
  std::vector<std::string> options = RegionOptions(firmware.regions);
  options.insert(options.end(), {"--initial-fill", "0x5A"});
  const auto start = std::chrono::steady_clock::now();
  const ProgramRun late = tree.RunUpdaterActingOn("s\n", {{"[c] Cancel", [&](testsupport::BackgroundProcess& updater) {
    updater.CloseInput();
    std::this_thread::sleep_until(start + 6s);
    tree.StartSimulator(options);
  }}}, 30s);
  EXPECT_EQ(late.exitCode, 0) << late.out << late.err;
  EXPECT_TRUE(Shows(late, kInstalled)) << late.out;
  tree.StopSimulator();

  tree.StartSimulator(options);
  const ProgramRun nothingTyped = tree.RunUpdater("", 20s);
  EXPECT_EQ(nothingTyped.exitCode, 0) << nothingTyped.out << nothingTyped.err;
  EXPECT_LT(nothingTyped.took, 5s);
  EXPECT_EQ(testsupport::ReadFile(tree.Traffic()), "") << "nothing sent";
  const ProgramRun typo = tree.RunUpdater("hello\ns\n");
  tree.StopSimulator();
  EXPECT_EQ(typo.exitCode, 0) << typo.out << typo.err;
  EXPECT_EQ(typo.err, "not understood: hello\n");
  EXPECT_TRUE(Shows(typo, kInstalled)) << typo.out;
  EXPECT_EQ(ReadMemoryDump(tree.MemoryDump()), firmware.bytes);

  // The debug program gives each button one key for the whole run, whichever window shows
  // first: Start's "1", typed before the main window is up, presses Start, and the console's
  // "u" queries the device. The program then waits for "Startnext": cancelled like the main
  // window. The keys lines leave out Ctrl+Q, which a terminal keeps for itself.
  ProgramTree debug("Updater-debug");
  debug.WriteUpdate(firmware.intelHex);
  debug.StartSimulator(RegionOptions(firmware.regions));
  const ProgramRun queried = debug.RunUpdater("1\nu\n", 20s);
  debug.StopSimulator();
  EXPECT_EQ(queried.exitCode, 0) << queried.out << queried.err;
  EXPECT_EQ(queried.err, "");
  for (const std::string keys : {"[a] Cancel  [q] Beenden\n",
                                 "[s] Startnext  [u] Query Device  [r] Read  [w] Write  [c] Complete  [t] Startall  "
                                 "[e] Erase  [q] Beenden\n",
                                 "[b] Abbrechen  [1] Start  [q] Beenden\n  Installing new firmware... Do not disconnect.\n"}) {
    EXPECT_TRUE(Shows(queried, "  keys:  " + keys)) << queried.out;
  }
  EXPECT_TRUE(Shows(queried, "BytesPerPacket: 56")) << queried.out;
  EXPECT_LT(queried.took, 5s);
}

}  // namespace
}  // namespace app_test
