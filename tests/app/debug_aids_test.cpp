// The build with the debug aids: the memory dump of a device with two bytes per address,
// a whole update stepped by the console with its traffic in the log file, and answers too
// short for the logger's fields.
#include <gtest/gtest.h>

#include "console_window.h"
#include "files.h"
#include "hid.h"
#include "traffic_log.h"
#include "update_run.h"
#include "user_messages.h"

namespace app_test {
namespace {

using testsupport::ReadLines;

std::string Hex(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = from; i < from + count; ++i) text += {kDigits[bytes.at(i) >> 4], kDigits[bytes.at(i) & 15]};
  return text;
}

class DebugAids : public StepTest {};

TEST_F(DebugAids, TheDumpShowsFiftyEightImageBytesPerLineAtTwentyNineAddressesApart) {
  Regions({{0, 0x800, 40}, {0, 0x900, 0}, {3, 0xA00, 4}, {0, 0xC0000000, 30}}, 2);
  std::vector<std::vector<uint8_t>> images;
  for (const fw::Ref<MemoryRegion>& region : HID::MemoryRegions) {
    for (size_t k = 0; k < size_t(region->Size) * 2; ++k) region->data->SetUInt8Value(k, static_cast<uint8_t>(k * 7 + 3));
    images.emplace_back(region->data->Bytes().begin(), region->data->Bytes().end());
  }
  HID::DumpMemoryRegions();
  const std::vector<std::string> expected = {
      "Address: 000800 " + Hex(images[0], 0, 58),     "Address: 00081D " + Hex(images[0], 58, 22),
      "Address: 000A00 " + Hex(images[2], 0, 8),      "Address: C0000000 " + Hex(images[3], 0, 58),
      "Address: C000001D " + Hex(images[3], 58, 2),
  };
  EXPECT_EQ(ReadLines(Bin() / "Memory.txt"), expected);
}

TEST_F(DebugAids, AnswersTooShortForTheirFieldsAreLoggedWithWhatTheyHold) {
  HID::InitLog("Debug");
  const std::vector<std::vector<uint8_t>> answers = {
      {}, {2}, {7}, {7, 0x00, 0x10}, {7, 0x00, 0x10, 0, 0}, {7, 0x00, 0x10, 0, 0, 4}, {7, 0x00, 0x10, 0, 0, 4, 1, 2}};
  for (const std::vector<uint8_t>& answer : answers) {
    HID::DebugReadCommand(
        fw::MakeRef<fw::MemoryBlock>(std::string_view(reinterpret_cast<const char*>(answer.data()), answer.size())));
  }
  HID::logfile = nullptr;
  // The data of a short report would lie past its end: none are shown.
  EXPECT_EQ(ReadLines(Bin() / "Debug"), (std::vector<std::string>{"Address: 000000 ", "Address: 000000 ",
                                                                   "Address: 001000 ", "Address: 001000 ",
                                                                   "Address: 001000 "}));
}

class DebugAidsRun : public UpdateTest {
 protected:
  // The console runs the steps to the end once Start has been pressed.
  void SetUp() override {
    UpdateTest::SetUp();
    script = [this](int32_t) {
      if (startAll_) return;
      startAll_ = true;
      frontEnd.Press(ConsoleWindow::kClassName, "PushButton6");
    };
  }

 private:
  bool startAll_ = false;
};

TEST_F(DebugAidsRun, AFamily2UpdateLogsTheDumpThenEachPacketAndAnswer) {
  const Firmware firmware = FirmwareFor({{0, 0x800, 60}}, 2);
  EXPECT_EQ(Update(Device(firmware.regions, 56, 2), firmware.intelHex), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kInstalled});
  EXPECT_EQ(DeviceMemory(), firmware.bytes);
  const std::vector<uint8_t>& image = firmware.bytes[0];
  // The dump counts 29 addresses per line of 58 bytes, the traffic 28 per packet of 56.
  const std::vector<std::string> expected = {
      "Address: 000800 " + Hex(image, 0, 58),  "Address: 00081D " + Hex(image, 58, 58),
      "Address: 00083A " + Hex(image, 116, 4), "Address: 000800 " + Hex(image, 0, 56),
      "Address: 00081C " + Hex(image, 56, 56), "Address: 000838 " + Hex(image, 112, 8),
      "Address: 000800 " + Hex(image, 0, 56),  "Address: 00081C " + Hex(image, 56, 56),
      "Address: 000838 " + Hex(image, 112, 8),
  };
  EXPECT_EQ(ReadLines(Bin() / "Memory.txt"), expected);
}

TEST_F(DebugAidsRun, AnEmptyAnswerIsLoggedAndRefused) {
  devsim::Options options = Device({{0, 0x800, 0x100}});
  options.faults.answerLength = 0;
  EXPECT_EQ(Update(options, FirmwareFor({{0, 0x800, 0x100}}).intelHex), 0);
  EXPECT_EQ(frontEnd.messages,
            (std::vector<std::string>{"Invalid data length received.", "Wrong answer from device.\n\n0"}));
}

}  // namespace
}  // namespace app_test
