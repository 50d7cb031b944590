// The resources the build makes for the updater and the simulator.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <memory>
#include <string>
#include <vector>

#include "devsim/options.h"
#include "files.h"
#include "hex_test_support.h"
#include "logopack/jpeg_codec.h"
#include "logopack/logo.h"
#include "run_process.h"
#include "temp_dir.h"

namespace logopack {
namespace {

const std::filesystem::path kResources = DEMO_RESOURCES_DIR;

TEST(DemoResources, LogoCarriesAnUpdateForTheSimulatorsDevice) {
  const std::string file = testsupport::ReadFile(kResources / "logo.jpg");
  auto logo = readLogo(std::vector<std::uint8_t>(file.begin(), file.end()));
  ASSERT_TRUE(logo) << logo.error().message;
  const PayloadFields& fields = logo.value().fields;
  EXPECT_EQ(fields.version, "1.0");
  EXPECT_EQ(fields.title, "Trovak Demo Update");
  EXPECT_EQ(fields.vendorId, "4660");
  EXPECT_EQ(fields.productId, "22136");
  ASSERT_TRUE(test::HasLoaderForm(fields.firmwareHex));

  // The firmware fills the simulator's default regions, and nothing else.
  const test::ByteMap bytes = test::LoaderBytes(fields.firmwareHex);
  std::size_t regionBytes = 0;
  for (const devsim::RegionLayout& region : devsim::defaultRegions()) {
    regionBytes += region.size;
    EXPECT_EQ(bytes.count(region.address), 1u) << "region at " << region.address;
    EXPECT_EQ(bytes.count(region.address + region.size - 1), 1u) << "region at " << region.address;
  }
  EXPECT_EQ(bytes.size(), regionBytes);
  for (const auto& [address, value] : bytes) {
    const auto regions = devsim::defaultRegions();
    EXPECT_TRUE(std::any_of(regions.begin(), regions.end(), [address](const devsim::RegionLayout& region) {
      return address >= region.address && address - region.address < region.size;
    })) << "address " << address << " lies in no region";
  }
}

const std::string kUdevRuleHead =
    "# Trovak firmware updater: the user at the machine (the local, active seat) may read and\n"
    "# write the device of its update through hidraw, so the updater runs without root.\n";

TEST(DemoResources, InstalledUdevRuleOpensOnlyTheDeviceOfTheLogo) {
  const auto printed = testsupport::RunProcess({INSTALL_SCRIPT, "--print-udev-rule", BUILD_DIR});
  ASSERT_EQ(printed.exitCode, 0) << printed.err;
  EXPECT_EQ(printed.out, kUdevRuleHead +
                             "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"1234\", ATTRS{idProduct}==\"5678\", "
                             "TAG+=\"uaccess\"\n");
}

// The rule names the ids the updater searches for, read from the logo's id texts as the
// updater reads them; a logo whose ids no USB device can have gets none.
TEST(DemoResources, UdevRuleNamesTheIdsAsTheUpdaterReadsThem) {
  struct Case {
    std::string vendorText;
    std::string productText;
    std::string rule;  // empty: refused
  };
  const std::vector<Case> cases = {
      {"&h1234", "&H5678", "ATTRS{idVendor}==\"1234\", ATTRS{idProduct}==\"5678\""},
      {"4660.9", " 22136", "ATTRS{idVendor}==\"1234\", ATTRS{idProduct}==\"5678\""},
      {"&hABCD (0x1234)", "0", "ATTRS{idVendor}==\"abcd\", ATTRS{idProduct}==\"0000\""},
      {"70000", "22136", ""},
      {"&h12345", "22136", ""},
      {"-1", "22136", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vendorText + " " + c.productText);
    testsupport::TempDir build{"install"};
    std::filesystem::create_directories(build.path() / "bin");
    std::filesystem::create_symlink(std::filesystem::path(BUILD_DIR) / "bin" / "logopack",
                                    build.path() / "bin" / "logopack");
    const std::string firmware = test::Record(0x800, 0, {1}) + "\r\n" + test::kEndOfFile + "\r\n";
    auto logo = encodeJpeg(generatedLogoPicture(),
                           scramblePayload("$1.0$T$" + c.vendorText + "$" + c.productText + "$" + firmware));
    ASSERT_TRUE(logo) << logo.error().message;
    testsupport::WriteFile(build.path() / "Resources" / "logo.jpg", std::string(logo.value().begin(), logo.value().end()));

    const auto printed = testsupport::RunProcess({INSTALL_SCRIPT, "--print-udev-rule", build.path().string()});
    if (c.rule.empty()) {
      EXPECT_EQ(printed.exitCode, 1);
      EXPECT_EQ(printed.out, "");
      EXPECT_NE(printed.err.find("names no vendor and product id"), std::string::npos) << printed.err;
    } else {
      EXPECT_EQ(printed.exitCode, 0) << printed.err;
      EXPECT_EQ(printed.out, kUdevRuleHead + "KERNEL==\"hidraw*\", " + c.rule + ", TAG+=\"uaccess\"\n");
    }
  }
}

// Run from a tree of its own whose scripts/setup only notes that it ran and fails, the
// install script cannot build or install anything, whatever it makes of its arguments.
TEST(DemoResources, InstallScriptInstallsNothingForHelpOrAnArgumentItDoesNotKnow) {
  testsupport::TempDir tree{"install"};
  const std::filesystem::path scripts = tree.path() / "scripts";
  std::filesystem::create_directories(scripts);
  std::filesystem::copy_file(INSTALL_SCRIPT, scripts / "install");
  testsupport::WriteFile(scripts / "setup", "#!/bin/sh\ntouch \"$(dirname \"$0\")/../setup-ran\"\nexit 1\n");
  std::filesystem::permissions(scripts / "setup", std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);

  const std::vector<std::vector<std::string>> argumentLists = {
      {"--help"}, {"-h"}, {"--bogus"}, {"build"}, {"--print-udev-rule"}, {"--print-udev-rule", BUILD_DIR, "x"}};
  for (std::vector<std::string> args : argumentLists) {
    SCOPED_TRACE(args.front());
    args.insert(args.begin(), (scripts / "install").string());
    const auto run = testsupport::RunProcess(args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "usage: scripts/install [--print-udev-rule BUILD_DIR]\n");
    EXPECT_FALSE(std::filesystem::exists(tree.path() / "setup-ran"));
  }
}

TEST(DemoResources, MakersPictureIs150By71Rgb) {
  struct Closer {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
  };
  std::unique_ptr<TIFF, Closer> tiff(TIFFOpen((kResources / "Trovak.tif").c_str(), "r"));
  ASSERT_TRUE(tiff);
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t samples = 0;
  std::uint16_t photometric = 0;
  TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  EXPECT_EQ(width, 150u);
  EXPECT_EQ(height, 71u);
  EXPECT_EQ(samples, 3);
  EXPECT_EQ(photometric, PHOTOMETRIC_RGB);
  std::vector<std::uint32_t> pixels(std::size_t{width} * height);
  EXPECT_EQ(TIFFReadRGBAImage(tiff.get(), width, height, pixels.data(), 0), 1);
}

}  // namespace
}  // namespace logopack
