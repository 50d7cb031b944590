// The program refuses to start when a plug-in it needs is missing, with one message that
// names what is missing, instead of crashing at the first call.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "run_process.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

class PluginStartup : public ::testing::Test {
 protected:
  void SetUp() override { fs::copy_file(UPDATER_BINARY, folder() / "Updater"); }

  const fs::path& folder() const { return temp_.path(); }

 private:
  testsupport::TempDir temp_{"updater-startup"};
};

TEST_F(PluginStartup, NoPluginAtAllStopsWithAClearMessage) {
  const auto result = testsupport::RunProcess({(folder() / "Updater").string()});
  EXPECT_NE(result.exitCode, 0);
  EXPECT_NE(result.exitCode, -1) << "crashed";
  EXPECT_NE(result.err.find("OrvaneZuv.FindFirstDevice as boolean"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("TessikZuv.LasterrorString.Get"), std::string::npos);
  EXPECT_NE(result.err.find((folder() / "Orvane.so").string() + " (file not found)"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find((folder() / "Tessik.so").string() + " (file not found)"),
            std::string::npos);
}

TEST_F(PluginStartup, OneMissingPluginIsNamedAndTheOtherShownLoaded) {
  fs::copy_file(fs::path(TESSIK_PLUGIN), folder() / "Tessik.so");
  const auto result = testsupport::RunProcess({(folder() / "Updater").string()});
  EXPECT_GT(result.exitCode, 0);
  EXPECT_NE(result.err.find("OrvaneZuv.__init"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("TessikZuv.Close"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find((folder() / "Tessik.so").string() + " (loaded)"), std::string::npos);
}

TEST_F(PluginStartup, AFileThatIsNoLibraryIsReportedNotLoaded) {
  fs::copy_file(fs::path(TESSIK_PLUGIN), folder() / "Tessik.so");
  { std::ofstream(folder() / "Orvane.so") << "not a library"; }
  const auto result = testsupport::RunProcess({(folder() / "Updater").string()});
  EXPECT_GT(result.exitCode, 0);
  EXPECT_NE(result.err.find((folder() / "Orvane.so").string() + " ("), std::string::npos);
  EXPECT_EQ(result.err.find("Orvane.so (loaded)"), std::string::npos) << result.err;
}

}  // namespace
