// Start-up: the update out of the logo image, the completeness check, the maker's picture.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "app.h"
#include "app_harness.h"
#include "hid.h"
#include "menu_bar1.h"
#include "resources.h"
#include "test_logo.h"
#include "update_payload.h"

namespace app_test {
namespace {

class Startup : public UpdaterTest {
 protected:
  // Loads the logo into a fresh application object, as start-up does.
  fw::Ref<class App> Load() {
    fw::Ref<class App> app = fw::MakeRef<class App>();
    app->LoadData();
    return app;
  }

  void ExpectNotComplete() {
    EXPECT_EQ(RunUpdater(), 0);
    EXPECT_EQ(frontEnd.messages, std::vector<std::string>{"Application is not complete."});
    EXPECT_EQ(frontEnd.log, std::vector<std::string>{"message Application is not complete."}) << "no window opened";
    EXPECT_EQ(LogLines().front(), "Start...");
  }
};

TEST_F(Startup, ThePayloadsSixFieldsFillTheUpdatesGlobals) {
  WriteLogo("x$1.0$Title$1234$5678$:00000001FF\r\n");
  const auto app = Load();
  EXPECT_EQ(HID::dataversion, "1.0");
  EXPECT_EQ(HID::datatitle, "Title");
  EXPECT_EQ(HID::VendorID, 1234);
  EXPECT_EQ(HID::ProductID, 5678);
  EXPECT_EQ(HID::datafile, ":00000001FF\r\n");
  ASSERT_TRUE(app->logo);
  EXPECT_EQ(app->logo->Width(), 128u);
}

TEST_F(Startup, TextAfterASixthSeparatorIsIgnored) {
  WriteLogo("x$1.0$Title$1$2$:00000001FF\r\n$more$fields");
  Load();
  EXPECT_EQ(HID::datafile, ":00000001FF\r\n");
}

TEST_F(Startup, AnIncompleteUpdateSaysSoAndQuitsBeforeTheSearch) {
  WriteLogo("x$1.0$Title$1234$5678");
  ExpectNotComplete();
}

TEST_F(Startup, AnEmptyVersionCountsAsIncomplete) {
  WriteLogo("x$$Title$1234$5678$:00000001FF\r\n");
  ExpectNotComplete();
}

TEST_F(Startup, ALogoWithoutColourProfileCarriesNoUpdate) {
  WriteLogoWithProfile(Resources() / "logo.jpg", "");
  const auto app = Load();
  EXPECT_FALSE(app->logo) << "no logo without an update";
  EXPECT_TRUE(HID::dataversion.empty());
  ExpectNotComplete();
}

TEST_F(Startup, NoLogoFileAtAllIsAnIncompleteApplication) { ExpectNotComplete(); }

TEST_F(Startup, IdsAreNumbersInTextCutToWholeNumbersThatNoDeviceMatchesWhenOutOfRange) {
  EXPECT_EQ(UpdatePayload::IdFromText("4660"), 4660);
  EXPECT_EQ(UpdatePayload::IdFromText("&h1234"), 4660);
  EXPECT_EQ(UpdatePayload::IdFromText("4660.9"), 4660);
  EXPECT_EQ(UpdatePayload::IdFromText(" 22136 "), 22136);
  EXPECT_EQ(UpdatePayload::IdFromText("-3.7"), -3);
  EXPECT_EQ(UpdatePayload::IdFromText("Trovak"), 0);
  EXPECT_EQ(UpdatePayload::IdFromText(""), 0);
  // 2^32 + 4660 must not wrap around into the id 4660.
  EXPECT_EQ(UpdatePayload::IdFromText("4294971956"), INT32_MAX);
  EXPECT_EQ(UpdatePayload::IdFromText("-1e12"), INT32_MIN);
}

TEST_F(Startup, TheMakersPictureIsReadOnceAndTriedAgainWhileMissing) {
  EXPECT_FALSE(Trovak());
  EXPECT_FALSE(Trovak());
  WriteMakerPicture();
  const fw::Ref<fw::Picture> first = Trovak();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->Width(), 150u);
  EXPECT_EQ(first->Height(), 71u);
  std::filesystem::remove(Resources() / "Trovak.tif");
  EXPECT_EQ(Trovak(), first) << "kept, not read again";
  ReleaseTrovak();
}

TEST_F(Startup, TheMenuBarIsBuiltOnce) {
  const auto bar = MenuBar1();
  EXPECT_EQ(MenuBar1(), bar);
  ASSERT_EQ(bar->Children().size(), 2u);
  EXPECT_EQ(bar->Child("FileMenu")->Child("FileQuit")->Text, "Beenden");
  EXPECT_EQ(bar->Child("EditMenu")->Children().size(), 8u);
  EXPECT_EQ(fw::KeyboardShortcutForDisplay(bar->Child("FileMenu")->Child("FileQuit")->KeyboardShortcut), "Ctrl+Q");
  ReleaseMenuBar1();
}

}  // namespace
}  // namespace app_test
