// The device search dialog against the simulator, on virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "app_harness.h"
#include "device_match.h"
#include "fake_virtual_device.h"
#include "hid.h"
#include "text_functions.h"

namespace app_test {
namespace {

using fw::Milliseconds;

class DeviceSearch : public UpdaterTest {
 protected:
  void SetUp() override {
    UpdaterTest::SetUp();
    WriteUpdate(IntelHex({}));
    start_ = clock.now;
    // The script: once the main window has taken over, note when and leave.
    frontEnd.onUpdate = [this] {
      if (frontEnd.FindWindow("mainWindow") && !mainWindowAt_) {
        mainWindowAt_ = clock.now - start_;
        frontEnd.Press("mainWindow", "Cancelbutton");
      }
      if (onTime) onTime(clock.now - start_);
    };
  }

  int Count(const std::string& line) const { return static_cast<int>(std::count(LogLines().begin(), LogLines().end(), line)); }

  std::function<void(Milliseconds sinceStart)> onTime;
  Milliseconds start_{};
  std::optional<Milliseconds> mainWindowAt_;
};

TEST_F(DeviceSearch, APresentDeviceIsConnectedAtTheFirstTickAndTheMainWindowFollows) {
  StartDevice(DeviceOptions());
  EXPECT_EQ(RunUpdater(), 0);
  EXPECT_EQ(mainWindowAt_, Milliseconds{1000});
  EXPECT_TRUE(frontEnd.messages.empty()) << "no \"No device found.\"";
  const std::vector<std::string> expected{"Start...", "VendorID: 1234 ProductID: 5678", "Ger\xC3\xA4t gefunden.",
                                          "Connect OK."};
  EXPECT_TRUE(std::search(LogLines().begin(), LogLines().end(), expected.begin(), expected.end()) != LogLines().end());
  EXPECT_EQ(frontEnd.log[0], "open DeviceDialog");
  EXPECT_EQ(frontEnd.log[1], "modal DeviceDialog");
  EXPECT_EQ(frontEnd.log[2], "close DeviceDialog");
}

TEST_F(DeviceSearch, OfTwoMatchingDevicesTheFirstIsTakenAndTheSecondNeverAsked) {
  auto& first = StartDevice(DeviceOptions("a-board"));
  auto& second = StartDevice(DeviceOptions("b-board"));
  EXPECT_EQ(RunUpdater(), 0);
  // Devices are listed by name. The host has come and gone; the device may take the session
  // a moment later.
  EXPECT_TRUE(first.server().waitUntil([](const devsim::DeviceActivity& a) { return a.sessionsStarted == 1; },
                                       std::chrono::seconds(5)));
  EXPECT_EQ(second.server().activity().sessionsStarted, 0u);
  EXPECT_EQ(Count("Ger\xC3\xA4t gefunden."), 1);
  EXPECT_EQ(Count("VendorID: 1234 ProductID: 5678"), 1) << "the walk stops at the match";
}

TEST_F(DeviceSearch, AMatchingProductIdWithAnotherVendorIsNotTaken) {
  StartDevice(DeviceOptions("other", 0x1235, kProductId));
  onTime = [this](Milliseconds t) {
    if (t >= Milliseconds{12000}) frontEnd.Press("DeviceDialog", "PushButton1");
  };
  EXPECT_EQ(RunUpdater(), 0);
  EXPECT_FALSE(mainWindowAt_);
  EXPECT_EQ(Count("Ger\xC3\xA4t gefunden."), 0);
  EXPECT_GE(Count("VendorID: 1235 ProductID: 5678"), 10) << "one line per device per tick";
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{"No device found."});
}

TEST_F(DeviceSearch, IdsZeroTakeADeviceWhoseIdsReadAsZero) {
  WriteUpdate(IntelHex({}), "1.0", "Test Update", 0, 0);
  StartDevice(DeviceOptions("noids", 0, 0));
  EXPECT_EQ(RunUpdater(), 0);
  EXPECT_TRUE(mainWindowAt_);
  EXPECT_TRUE(Logged("VendorID: 0 ProductID: 0"));
}

TEST_F(DeviceSearch, NothingForTenSecondsIsSaidOnceAndALaterDeviceStillConnects) {
  bool plugged = false;
  onTime = [&](Milliseconds t) {
    if (t >= Milliseconds{15000} && !plugged) {
      plugged = true;
      StartDevice(DeviceOptions());
    }
  };
  EXPECT_EQ(RunUpdater(), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{"No device found."});
  EXPECT_EQ(frontEnd.log[2], "message No device found.");
  EXPECT_EQ(mainWindowAt_, Milliseconds{16000});
}

TEST_F(DeviceSearch, ADeviceThatCannotBeOpenedEndsInAMessageAndAQuit) {
  testsupport::FakeVirtualDevice device(VirtualDeviceFolder(), "locked",
                                        {{"VendorID", "4660"}, {"ProductID", "22136"}});
  device.StopListening();
  EXPECT_EQ(RunUpdater(), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{"Failed to connect to USB device. "});
  EXPECT_TRUE(std::any_of(LogLines().begin(), LogLines().end(),
                          [](const std::string& line) { return line.starts_with("Connect: ") && line != "Connect: 0"; }));
  EXPECT_FALSE(Logged("Connect OK."));
  EXPECT_FALSE(mainWindowAt_);
}

TEST_F(DeviceSearch, CancelAndTheQuitItemEndTheSearchWithZero) {
  for (const std::string how : {"cancel", "menu", "shortcut"}) {
    SCOPED_TRACE(how);
    onTime = [&](Milliseconds t) {
      if (t < Milliseconds{2000}) return;
      if (how == "cancel") frontEnd.Press("DeviceDialog", "PushButton1");
      if (how == "menu") frontEnd.ChooseMenuItem("FileQuit");
      if (how == "shortcut") frontEnd.PressShortcut("Ctrl+Q");
    };
    EXPECT_EQ(RunUpdater(), 0);
    EXPECT_FALSE(mainWindowAt_);
    EXPECT_FALSE(HID::DeviceFound);
    EXPECT_FALSE(frontEnd.stalled);
  }
}

// Records which id the search asks for, in order: V for the vendor id, P for the product id.
struct IdQueryRecorder {
  int32_t vendor;
  int32_t product;
  std::string asked;

  int32_t VendorID() {
    asked += 'V';
    return vendor;
  }
  int32_t ProductID() {
    asked += 'P';
    return product;
  }
};

TEST(DeviceMatch, IdsAreAskedVendorFirstThenTheProductAgainAndTheVendorOnlyAfterAMatchingProduct) {
  const int32_t savedVendor = std::exchange(HID::VendorID, 0x1234);
  const int32_t savedProduct = std::exchange(HID::ProductID, 0x5678);
  const auto hex = [](int32_t id) { return fw::Hex(id); };
  struct Case {
    IdQueryRecorder device;
    bool match;
    std::string asked;
  };
  for (Case c : {Case{{0x1234, 0x5678, ""}, true, "VPPV"}, Case{{0x1235, 0x5678, ""}, false, "VPPV"},
                 Case{{0x1234, 0x5679, ""}, false, "VPP"}}) {
    EXPECT_EQ(ExamineDevice(c.device, hex), c.match);
    EXPECT_EQ(c.device.asked, c.asked);
  }
  HID::VendorID = savedVendor;
  HID::ProductID = savedProduct;
}

}  // namespace
}  // namespace app_test
