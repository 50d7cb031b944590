// A build for a platform the updater does not support: the logo in "Updater Libs" beside the
// program, and every search tick says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app_harness.h"

namespace app_test {
namespace {

TEST_F(UpdaterTest, AnUnsupportedPlatformSaysSoAtEveryTick) {
  WriteUpdate(IntelHex({}));
  std::filesystem::create_directories(Bin() / "Updater Libs");
  std::filesystem::rename(Resources() / "logo.jpg", Bin() / "Updater Libs" / "logo.jpg");
  StartDevice(DeviceOptions());
  frontEnd.onUpdate = [this] {
    if (clock.now >= fw::Milliseconds{4000}) frontEnd.Press("DeviceDialog", "PushButton1");
  };
  EXPECT_EQ(RunUpdater(), 0);
  EXPECT_EQ(std::count(frontEnd.messages.begin(), frontEnd.messages.end(), "platform not supported"), 3);
  EXPECT_EQ(frontEnd.messages.size(), 3u);
}

}  // namespace
}  // namespace app_test
