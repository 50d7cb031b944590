// The debug console of the updater with the debug aids, against the simulator, on virtual
// time: it steps the update by hand and sends single commands, showing what went and came.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "app_harness.h"
#include "command_packets.h"
#include "console_window.h"
#include "devsim/bootloader.h"
#include "hid.h"
#include "main_window.h"
#include "os/event_loop.h"
#include "menu_bar1.h"
#include "ui/application.h"
#include "user_messages.h"
#include "zuv_utilities.h"

namespace app_test {
namespace {

using devsim::Command;
using fw::Milliseconds;

const std::string kConsole(ConsoleWindow::kClassName);
const std::string kWrongAnswer = "Falsche Antwort vom Ger\xC3\xA4t.\n\n";

// A 64-byte packet as the echo fields show it: these bytes, then zeros.
std::string PacketText(std::initializer_list<uint8_t> bytes) {
  std::string packet(HID::PacketSize, '\0');
  std::copy(bytes.begin(), bytes.end(), packet.begin());
  return EncodingToHexZuv(packet);
}

std::string Repeated(const std::string& hexByte, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += hexByte;
  return text;
}

class Console : public UpdaterTest {
 protected:
  using Steps = std::vector<std::function<void()>>;

  void SetUp() override {
    UpdaterTest::SetUp();
    // One erased byte at the first region's start: an update that lands on the device and
    // leaves its images as erased memory.
    WriteUpdate(IntelHex({":01080000FFF8"}));
  }

  // The updater against a device of these options. Each step runs when the program waits for
  // the user, so everything the step before asked for has been done; then the quit item.
  int Run(const devsim::Options& options, const Steps& steps) {
    device_ = &StartDevice(options);
    size_t next = 0;
    frontEnd.onIdle = [&] {
      if (next < steps.size()) {
        steps[next++]();
      } else {
        frontEnd.ChooseMenuItem("FileQuit");
      }
    };
    const int exitCode = RunUpdater();
    frontEnd.onIdle = nullptr;
    return exitCode;
  }

  std::string Text(std::string_view control) const { return frontEnd.TextOf(kConsole, control); }
  bool Enabled(std::string_view control) const { return frontEnd.EnabledOf(kConsole, control); }
  void Press(std::string_view button) { frontEnd.Press(kConsole, button); }
  void Type(std::string_view field, std::string text) { frontEnd.Type(kConsole, field, std::move(text)); }
  class mainWindow& Main() const { return dynamic_cast<class mainWindow&>(*frontEnd.FindWindow("mainWindow")); }

  // Waits (in real time: the device runs on its own thread) until the device has had count
  // commands of this kind.
  bool DeviceReceived(Command command, uint64_t count) const {
    return device_->server().waitUntil(
        [&](const devsim::DeviceActivity& a) { return a.stats.received(command) >= count; }, std::chrono::seconds(5));
  }
  uint64_t Received(Command command) const { return device_->server().activity().stats.received(command); }

  std::vector<std::string> MessagesSince(size_t first) const {
    return {frontEnd.messages.begin() + static_cast<std::ptrdiff_t>(first), frontEnd.messages.end()};
  }

  devsim::BackgroundDevice* device_ = nullptr;
};

TEST_F(Console, ItOpensBelowTheMainWindowAndTheUpdateMovesOnlyByItsButtons) {
  const Steps steps{
      [&] {
        const fw::Window* console = frontEnd.FindWindow(kConsole);
        ASSERT_TRUE(console);
        EXPECT_EQ(console->Left(), Main().Left());
        EXPECT_EQ(console->Top(), Main().Top() + 40 + Main().Height());
        EXPECT_TRUE(std::filesystem::exists(Bin() / "Debug")) << "opening the console starts the traffic log";
        frontEnd.Press("mainWindow", "StartButton");
      },
      [&] {
        EXPECT_EQ(Main().count, 0) << "Start alone runs no step";
        EXPECT_EQ(Main().StaticText1->Text(), "Installing new firmware... Do not disconnect.");
        EXPECT_FALSE(Main().StartButton->Enabled());
        EXPECT_TRUE(Enabled("PushButton1"));
        EXPECT_EQ(Received(Command::QueryDevice), 0u);
        Press("PushButton1");
      },
      [&] {
        EXPECT_EQ(Main().count, 1);
        EXPECT_EQ(Main().info->Text(), "Query device status...");
        EXPECT_EQ(HID::BytesPerPacket, 56);
        EXPECT_TRUE(Enabled("PushButton1")) << "enabled again by the step's end";
        Press("PushButton1");
      },
      [&] {
        EXPECT_EQ(Main().count, 2);
        Press("PushButton6");  // Startall: the rest in a row
      },
  };
  EXPECT_EQ(Run(DeviceOptions(), steps), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kInstalled});
  EXPECT_EQ(Received(Command::EraseDevice), 1u);
  EXPECT_FALSE(frontEnd.stalled);
}

// Quitting is held from the erase on only while a step runs: stepping by hand, the developer
// may quit between two steps.
TEST_F(Console, SteppedByHandTheProgramMayBeQuitBetweenTwoStepsAfterTheErase) {
  const fw::Ref<fw::MenuItem> quit = ::MenuBar1()->Child("FileMenu")->Child("FileQuit");
  const Steps steps{
      [&] { Press("PushButton1"); },
      [&] { Press("PushButton1"); },
      [&] { Press("PushButton1"); },
      [&] { Press("PushButton1"); },
      [&] {
        EXPECT_EQ(Main().count, 4) << "the erase";
        EXPECT_TRUE(quit->Enabled());
        Press("PushButton1");
      },
      [&] {
        EXPECT_EQ(Main().count, 5);
        EXPECT_TRUE(quit->Enabled());
        if (!quit->Enabled()) fw::Quit(1);  // the quit item below could not end the run
      },
  };
  EXPECT_EQ(Run(DeviceOptions(), steps), 0);
  EXPECT_FALSE(frontEnd.stalled);
  EXPECT_EQ(Received(Command::EraseDevice), 1u);
  EXPECT_EQ(Received(Command::ProgramDevice), 0u);
}

TEST_F(Console, StartnextBeforeStartRunsTheFirstStepAndStartStaysEnabled) {
  const Steps steps{
      [&] { Press("PushButton1"); },
      [&] {
        EXPECT_EQ(Main().count, 1);
        EXPECT_EQ(Main().info->Text(), "Query device status...");
        EXPECT_EQ(Main().StaticText1->Text(), "Ready to install the update.");
        EXPECT_TRUE(Main().StartButton->Enabled());
        EXPECT_EQ(HID::memoryRegionsDetected, 2);
      },
  };
  EXPECT_EQ(Run(DeviceOptions(), steps), 0);
}

TEST_F(Console, AClosedConsoleComesBackAtTheDefaultPlaceWhenTheNextStepEnds) {
  const Steps steps{
      [&] {
        std::filesystem::remove(Bin() / "Debug");
        Press("PushButton1");
        frontEnd.CloseWindow(kConsole);
      },
      [&] {
        EXPECT_EQ(Main().count, 1);
        const fw::Window* console = frontEnd.FindWindow(kConsole);
        ASSERT_TRUE(console);
        EXPECT_EQ(console->Left(), fw::Window::kDefaultLeft);
        EXPECT_EQ(console->Top(), fw::Window::kDefaultTop);
        EXPECT_TRUE(Enabled("PushButton1"));
        EXPECT_TRUE(std::filesystem::exists(Bin() / "Debug")) << "the new console starts the traffic log again";
        const std::vector<std::string> reopened{"close " + kConsole, "open " + kConsole};
        EXPECT_NE(std::search(frontEnd.log.begin(), frontEnd.log.end(), reopened.begin(), reopened.end()),
                  frontEnd.log.end());
      },
  };
  EXPECT_EQ(Run(DeviceOptions(), steps), 0);
}

TEST_F(Console, QueryDeviceListsTheGeometryAndAppendsTheRegionsOfEveryAnswer) {
  devsim::Options options = DeviceOptions();
  options.bytesPerPacket = 58;
  options.family = 2;
  const Steps steps{
      [&] { Press("PushButton2"); },
      [&] {
        EXPECT_EQ(frontEnd.messages, std::vector<std::string>{"BytesPerPacket: 58\nDeviceFamily: 2\nbytesPerAddress: 2"});
        EXPECT_EQ(HID::BytesPerPacket, 58);
        EXPECT_EQ(HID::DeviceFamily, 2);
        EXPECT_EQ(HID::bytesPerAddress, 2);
        EXPECT_EQ(HID::memoryRegionsDetected, 2);
        EXPECT_EQ(Text("Versendet"), PacketText({HID::QUERY_DEVICE}));
        // Two records: type, address and size of 0x800/0x1000 and 0x10000/64, then the end marker.
        EXPECT_EQ(Text("Empfangen"), PacketText({2, 58, 2, 0, 0x00, 0x08, 0, 0, 0x00, 0x10, 0, 0, 1, 0x00, 0x00, 0x01,
                                                 0, 0x40, 0, 0, 0, 0xFF}));
        Press("PushButton2");
      },
      [&] {
        EXPECT_EQ(frontEnd.messages.size(), 2u);
        EXPECT_EQ(HID::memoryRegionsDetected, 4);
        ASSERT_EQ(HID::MemoryRegions.size(), 4u);
        EXPECT_EQ(HID::MemoryRegions[3]->Address, 0x10000);
        EXPECT_EQ(HID::MemoryRegions[3]->data->Size(), 64u * 2 + 10) << "two image bytes per address";
      },
  };
  EXPECT_EQ(Run(options, steps), 0);
}

TEST_F(Console, AnUnknownFamilyIsListedAndItsRegionsAreTakenAllTheSame) {
  devsim::Options options = DeviceOptions();
  options.family = 7;
  const Steps steps{
      [&] { Press("PushButton2"); },
      [&] {
        EXPECT_EQ(frontEnd.messages,
                  std::vector<std::string>{"BytesPerPacket: 56\nDeviceFamily: 7\nUnbekanntes Ger\xC3\xA4t: 7\nbytesPerAddress: 0"});
        EXPECT_EQ(HID::bytesPerAddress, 0);
        EXPECT_EQ(HID::DeviceFamily, 7);
        EXPECT_EQ(HID::memoryRegionsDetected, 2);
      },
  };
  EXPECT_EQ(Run(options, steps), 0);
}

TEST_F(Console, AnAnswerWithAnotherCodeIsShownAndChangesNothing) {
  devsim::Options options = DeviceOptions();
  options.faults.wrongCode = 5;
  const Steps steps{
      [&] { Press("PushButton2"); },
      [&] {
        EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kWrongAnswer + "5"});
        EXPECT_EQ(HID::BytesPerPacket, 0);
        EXPECT_EQ(HID::DeviceFamily, 0);
        EXPECT_TRUE(HID::MemoryRegions.empty());
        EXPECT_EQ(Text("Versendet"), PacketText({HID::QUERY_DEVICE}));
        EXPECT_TRUE(Text("Empfangen").starts_with("053801")) << Text("Empfangen");
        Type("iAddress", "0");
        Type("output", "ABCD");
        Press("PushButton3");
      },
      [&] {
        EXPECT_EQ(MessagesSince(1), std::vector<std::string>{kWrongAnswer + "5"});
        EXPECT_EQ(Text("output"), "ABCD");
        EXPECT_EQ(Text("Versendet"), PacketText({HID::GET_DATA}));
        EXPECT_EQ(Text("Empfangen"), PacketText({5}));
      },
  };
  EXPECT_EQ(Run(options, steps), 0);
}

// Read shows BytesPerPacket bytes from the first byte of the data field on, whatever the
// answer counts; the device puts its bytes at the end of the field.
TEST_F(Console, ReadShowsBytesPerPacketBytesFromTheFirstDataByte) {
  devsim::Options options = DeviceOptions();
  options.initialFill = 0x5A;
  options.faults.shortGetData = 6;
  std::string hexAddressPacket;
  const Steps steps{
      [&] {
        // Before any query: a request for no bytes, and no bytes shown.
        Type("output", "FF");
        Type("iAddress", "&h1400");
        Press("PushButton3");
      },
      [&] {
        EXPECT_EQ(Text("Versendet"), PacketText({HID::GET_DATA, 0x00, 0x14}));
        EXPECT_EQ(Text("Empfangen"), PacketText({HID::GET_DATA, 0x00, 0x14}));
        EXPECT_EQ(Text("output"), "");
        Press("PushButton2");
      },
      [&] { Press("PushButton3"); },
      [&] {
        hexAddressPacket = Text("Versendet");
        EXPECT_EQ(hexAddressPacket, PacketText({HID::GET_DATA, 0x00, 0x14, 0x00, 0x00, 56}));
        // 50 bytes, at the end of the field.
        EXPECT_EQ(Text("Empfangen"), "070014000032" + Repeated("00", 8) + Repeated("5A", 50));
        EXPECT_EQ(Text("output"), Repeated("00", 8) + Repeated("5A", 48));
        Type("iAddress", "5120");
        Press("PushButton3");
      },
      [&] { EXPECT_EQ(Text("Versendet"), hexAddressPacket); },
  };
  EXPECT_EQ(Run(options, steps), 0);
  EXPECT_EQ(frontEnd.messages.size(), 1u) << "the query's listing only";
}

TEST_F(Console, EveryCommandButtonEmptiesBothEchoFieldsBeforeItSends) {
  std::string data;
  for (int i = 0; i < HID::MaxDataBytes; ++i) data.push_back(static_cast<char>(0x10 + i));
  const Steps steps{
      [&] { Press("PushButton2"); },
      [&] {
        EXPECT_FALSE(Text("Empfangen").empty());
        Press("PushButton7");  // Erase
      },
      [&] {
        EXPECT_EQ(Text("Versendet"), PacketText({HID::ERASE_DEVICE}));
        EXPECT_EQ(Text("Empfangen"), "");
        Type("iAddress", "&h800");
        Type("output", EncodingToHexZuv(data));
        Press("PushButton4");  // Write
      },
      [&] {
        EXPECT_TRUE(Text("Versendet").starts_with("050008000038" + EncodingToHexZuv(data.substr(0, 4))));
        EXPECT_EQ(Text("Empfangen"), "");
        Press("PushButton5");  // Complete
      },
      [&] {
        EXPECT_EQ(Text("Versendet"), PacketText({HID::PROGRAM_COMPLETE}));
        EXPECT_EQ(Text("Empfangen"), "");
        Press("PushButton3");  // Read the written bytes back
      },
      [&] {
        // The device took the last 56 of the 58 bytes and answers them at the field's end.
        EXPECT_EQ(Text("output"), "0000" + EncodingToHexZuv(data.substr(2, 54)));
        Type("iAddress", "x");
        Press("PushButton3");
      },
      [&] {
        EXPECT_EQ(Text("Versendet"), "") << "emptied, and nothing sent";
        EXPECT_EQ(Text("Empfangen"), "");
      },
  };
  EXPECT_EQ(Run(DeviceOptions(), steps), 0);
  EXPECT_TRUE(DeviceReceived(Command::ProgramComplete, 1));
  EXPECT_EQ(Received(Command::GetData), 1u);
  EXPECT_EQ(frontEnd.messages.back(), "Invalid address.\n\n\"x\" is not a 32-bit number.");
}

TEST_F(Console, AddressesAreWhole32BitNumbersAndHexTextMustSpellBytes) {
  const std::vector<std::pair<std::string, std::string>> accepted{
      {"&h00000000FFFFFFFF", "FFFFFFFF"}, {"4294967295", "FFFFFFFF"}, {"-1", "FFFFFFFF"},
      {"-2147483648", "00000080"},        {" &hff ", "FF000000"},     {"0", "00000000"}};
  const std::vector<std::string> refused{"", "x", "12ab", "5120.5", "&h", "&h1FFFFFFFF", "4294967296", "-2147483649", "+1"};
  const std::vector<std::pair<std::string, std::string>> badHex{
      {"0A F", "The last hexadecimal digit (position 4) has no partner."},
      {"0G", "Not a hexadecimal digit at position 2."}};
  Steps steps{[&] { Press("PushButton2"); }};
  for (const auto& entry : accepted) {
    steps.push_back([this, entry] {
      Type("iAddress", entry.first);
      Press("PushButton3");
    });
    steps.push_back([this, entry] { EXPECT_EQ(Text("Versendet").substr(2, 8), entry.second) << entry.first; });
  }
  for (const std::string& text : refused) {
    steps.push_back([this, text] {
      Type("iAddress", text);
      Press("PushButton3");
    });
    steps.push_back([this, text] {
      EXPECT_EQ(frontEnd.messages.back(), "Invalid address.\n\n\"" + text + "\" is not a 32-bit number.");
    });
  }
  for (const auto& entry : badHex) {
    steps.push_back([this, entry] {
      Type("iAddress", "&h800");
      Type("output", entry.first);
      Press("PushButton4");
    });
    steps.push_back([this, entry] {
      EXPECT_EQ(frontEnd.messages.back(), "No packet sent.\n\n" + entry.second);
      EXPECT_EQ(Text("Versendet"), "");
    });
  }
  EXPECT_EQ(Run(DeviceOptions(), steps), 0);
  EXPECT_EQ(frontEnd.messages.size(), 1 + refused.size() + badHex.size());
  EXPECT_TRUE(DeviceReceived(Command::GetData, accepted.size()));
  EXPECT_EQ(Received(Command::GetData), accepted.size());
  EXPECT_EQ(Received(Command::ProgramDevice), 0u);
}

TEST_F(Console, MoreBytesPerPacketThanAPacketHoldsSendNoReadAndNoWrite) {
  devsim::Options options = DeviceOptions();
  options.bytesPerPacket = 60;
  const std::string refusal = "No packet sent.\n\nBytesPerPacket is 60; a packet holds at most 58 data bytes.";
  const Steps steps{
      [&] { Press("PushButton2"); },
      [&] {
        Type("iAddress", "&h800");
        Type("output", Repeated("00", 60));
        Press("PushButton3");
      },
      [&] { Press("PushButton4"); },
      [&] {
        EXPECT_EQ(Text("Versendet"), "");
        Press("PushButton7");  // an Erase still goes out
      },
  };
  EXPECT_EQ(Run(options, steps), 0);
  EXPECT_EQ(MessagesSince(1), (std::vector<std::string>{refusal, refusal}));
  EXPECT_TRUE(DeviceReceived(Command::EraseDevice, 1));
  EXPECT_EQ(Received(Command::GetData) + Received(Command::ProgramDevice), 0u);
}

TEST_F(Console, UnansweredRequestsGiveUpAfterTheirBoundAndTheConsoleGoesOn) {
  devsim::Options options = DeviceOptions();
  options.faults.neverAnswer = true;
  Milliseconds pressedAt{};
  const Steps steps{
      [&] {
        pressedAt = clock.now;
        Press("PushButton2");
      },
      [&] {
        // The device may be busy erasing: a query waits a minute.
        EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kNoAnswer});
        EXPECT_GE(clock.now - pressedAt, Milliseconds{60000});
        EXPECT_LT(clock.now - pressedAt, Milliseconds{62000});
        EXPECT_EQ(Text("Versendet"), PacketText({HID::QUERY_DEVICE}));
        EXPECT_EQ(Text("Empfangen"), "");
        Type("iAddress", "0");
        pressedAt = clock.now;
        Press("PushButton3");
      },
      [&] {
        EXPECT_EQ(frontEnd.messages.size(), 2u);
        EXPECT_GE(clock.now - pressedAt, Milliseconds{4000});
        EXPECT_LT(clock.now - pressedAt, Milliseconds{6000});
        Press("PushButton7");
      },
      [&] {
        EXPECT_TRUE(DeviceReceived(Command::EraseDevice, 1));
        // A step that ends the program leaves Startnext disabled.
        frontEnd.onMessage = [&](const std::string&) {
          EXPECT_FALSE(Enabled("PushButton1"));
          return true;
        };
        Press("PushButton1");
      },
  };
  EXPECT_EQ(Run(options, steps), 0);
  EXPECT_EQ(frontEnd.messages, (std::vector<std::string>{kNoAnswer, kNoAnswer, kNoAnswer}));
  EXPECT_FALSE(frontEnd.stalled) << "the first step's failure quits";
}

// A second answer, or one that came after its wait gave up, stays queued: it must not pass
// for the answer to the next Query Device or Read.
TEST_F(Console, AReportQueuedBeforeACommandIsNotTakenForItsAnswer) {
  // Virtual time runs fast, so that a wait gives up long before the late answer comes.
  OSSetEventLoopIdleHook(
      [](double, void* context) {
        auto* virtualClock = static_cast<fw::VirtualClock*>(context);
        if (!virtualClock->eventLoopWaiting) virtualClock->Advance(Milliseconds{250});
      },
      &clock);
  devsim::Options options = DeviceOptions();
  options.faults.answerTwiceTo = 2;                                       // the first Read
  options.faults.lateAnswer = devsim::LateAnswer{4, std::chrono::seconds(1)};  // the second Read
  const std::string listing = "BytesPerPacket: 56\nDeviceFamily: 1\nbytesPerAddress: 1";
  const auto answerSent = [&](uint64_t reports) {
    return device_->server().waitUntil([&](const devsim::DeviceActivity& a) { return a.reportsSent >= reports; },
                                       std::chrono::seconds(5));
  };
  const Steps steps{
      [&] { Press("PushButton2"); },
      [&] {
        Type("iAddress", "&h800");
        Press("PushButton3");
      },
      [&] {
        EXPECT_TRUE(Text("Empfangen").starts_with("070008000038")) << Text("Empfangen");
        ASSERT_TRUE(answerSent(3)) << "the answer's second copy";
        Press("PushButton2");
      },
      [&] {
        EXPECT_EQ(frontEnd.messages, (std::vector<std::string>{listing, listing}));
        Type("iAddress", "&h810");
        Press("PushButton3");
      },
      [&] {
        EXPECT_EQ(frontEnd.messages.back(), kNoAnswer);
        ASSERT_TRUE(answerSent(5)) << "the late answer";
      },
      [&] {
        EXPECT_TRUE(std::any_of(LogLines().begin(), LogLines().end(),
                                [](const std::string& line) { return line.starts_with("ReceiveData: 0710080000"); }))
            << "the late answer has come";
        Type("iAddress", "&h820");
        Press("PushButton3");
      },
      [&] {
        EXPECT_TRUE(Text("Empfangen").starts_with("072008000038")) << Text("Empfangen");
        EXPECT_EQ(frontEnd.messages.size(), 3u);
      },
  };
  EXPECT_EQ(Run(options, steps), 0);
  const std::string droppedLine = "Report dropped, received before the command: ";
  std::vector<std::string> dropped;
  for (const std::string& line : LogLines()) {
    if (line.starts_with(droppedLine)) dropped.push_back(line.substr(droppedLine.size(), 10));
  }
  EXPECT_EQ(dropped, (std::vector<std::string>{"0700080000", "0710080000"}));
}

TEST_F(Console, QueriesStopAddingRegionsOnceTheImagesWouldPass64MiB) {
  devsim::Options options = DeviceOptions();
  options.family = 2;
  options.initialFill = 0xFF;
  options.regions = {{0, 0, 16 * 1024 * 1024}};  // a 32 MiB image
  const Steps steps{
      [&] { Press("PushButton2"); },
      [&] { Press("PushButton2"); },
      [&] {
        EXPECT_EQ(frontEnd.messages.back(),
                  "Too many memory regions.\n\nWith these the region images would take more than 64 MiB; none of them "
                  "were added.");
        EXPECT_EQ(HID::memoryRegionsDetected, 1);
        EXPECT_EQ(HID::MemoryRegions.size(), 1u);
        Press("PushButton7");
      },
  };
  EXPECT_EQ(Run(options, steps), 0);
  EXPECT_EQ(frontEnd.messages.size(), 3u) << "two listings and the refusal";
  EXPECT_TRUE(DeviceReceived(Command::EraseDevice, 1));
}

}  // namespace
}  // namespace app_test
