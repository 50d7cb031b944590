// The real updater program against the real simulator program, driven through standard
// input as a user's script would drive it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "program_tree.h"
#include "scoped_env.h"
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

std::vector<std::string> FileLines(const std::filesystem::path& path) {
  std::ifstream in(path);
  return Lines(std::string(std::istreambuf_iterator<char>(in), {}));
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

TEST(EndToEnd, TheUpdaterWritesTheFirmwareAndTellsTheUserToSwitchOff) {
  ProgramTree tree;
  const Firmware firmware = FirmwareFor({{0, 0x800, 0x1000}, {1, 0x10000, 64}});
  tree.WriteUpdate(firmware.intelHex);
  tree.StartSimulator();
  const ProgramRun run = tree.RunUpdater("s\n");
  tree.StopSimulator();
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Update installed.\n\nPlease disconnect the device and turn it off."), std::string::npos)
      << run.out;
  EXPECT_EQ(ReadMemoryDump(tree.MemoryDump()), firmware.bytes);
  EXPECT_LT(run.took, 10s);
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
  tree.StartSimulator({"--initial-fill", "0x5A", "--region", "0:0x800:0x100", "--region", "1:0x10000:64", "--region",
                       "3:0x20000:16"});
  // The second Startnext waits until the first step has enabled the button again.
  const ProgramRun run = tree.RunUpdater("Startnext\nStartnext\niAddress=&h800\nRead\nStartall\n");
  tree.StopSimulator();
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Update installed.\n\nPlease disconnect the device and turn it off."), std::string::npos);
  const std::string oldFirmware(56, '\x5A');
  // Read shows 56 bytes from the first of the data field on; the device answers at its end.
  EXPECT_NE(run.out.find("  output=0000" + EncodingToHexZuv(oldFirmware.substr(2))), std::string::npos) << run.out;

  EXPECT_EQ(FileLines(tree.Bin() / "Debug"), std::vector<std::string>{"Address: 000800 " + EncodingToHexZuv(oldFirmware)});
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
  EXPECT_EQ(FileLines(tree.Bin() / "Memory.txt"), memory);

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

}  // namespace
}  // namespace app_test
