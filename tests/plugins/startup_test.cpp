// The program refuses to start when a plug-in it needs is missing, with one message that
// names what is missing, instead of crashing at the first call.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "run_process.h"

namespace {

namespace fs = std::filesystem;

class PluginStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("updater-startup-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(UPDATER_BINARY, folder_ / "Updater");
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path folder_;
};

TEST_F(PluginStartup, NoPluginAtAllStopsWithAClearMessage) {
  const auto result = testsupport::RunProcess({(folder_ / "Updater").string()});
  EXPECT_NE(result.exitCode, 0);
  EXPECT_NE(result.exitCode, -1) << "crashed";
  EXPECT_NE(result.err.find("OrvaneZuv.FindFirstDevice as boolean"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("TessikZuv.LasterrorString.Get"), std::string::npos);
  EXPECT_NE(result.err.find((folder_ / "Orvane.so").string() + " (file not found)"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find((folder_ / "Tessik.so").string() + " (file not found)"),
            std::string::npos);
}

TEST_F(PluginStartup, OneMissingPluginIsNamedAndTheOtherShownLoaded) {
  fs::copy_file(fs::path(TESSIK_PLUGIN), folder_ / "Tessik.so");
  const auto result = testsupport::RunProcess({(folder_ / "Updater").string()});
  EXPECT_GT(result.exitCode, 0);
  EXPECT_NE(result.err.find("OrvaneZuv.__init"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("TessikZuv.Close"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find((folder_ / "Tessik.so").string() + " (loaded)"), std::string::npos);
}

TEST_F(PluginStartup, AFileThatIsNoLibraryIsReportedNotLoaded) {
  fs::copy_file(fs::path(TESSIK_PLUGIN), folder_ / "Tessik.so");
  { std::ofstream(folder_ / "Orvane.so") << "not a library"; }
  const auto result = testsupport::RunProcess({(folder_ / "Updater").string()});
  EXPECT_GT(result.exitCode, 0);
  EXPECT_NE(result.err.find((folder_ / "Orvane.so").string() + " ("), std::string::npos);
  EXPECT_EQ(result.err.find("Orvane.so (loaded)"), std::string::npos) << result.err;
}

}  // namespace
