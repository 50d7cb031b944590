// The Windows build: the logo beside the program, the search through the Windows device
// class, which on this system answers every call with an empty result.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_harness.h"
#include "hid.h"

namespace app_test {
namespace {

TEST_F(UpdaterTest, TheWindowsBuildReadsTheLogoBesideTheProgramAndItsStubFindsNoDevice) {
  WriteUpdate(IntelHex({}));
  std::filesystem::rename(Resources() / "logo.jpg", Bin() / "logo.jpg");
  StartDevice(DeviceOptions());
  frontEnd.onUpdate = [this] {
    if (clock.now >= fw::Milliseconds{13000}) frontEnd.Press("DeviceDialog", "PushButton1");
  };
  EXPECT_EQ(RunUpdater(), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{"No device found."}) << "the update was complete";
  EXPECT_FALSE(Logged("Connect OK."));
  EXPECT_FALSE(HID::DeviceFound);
}

}  // namespace
}  // namespace app_test
