// Intel HEX as objcopy and srec_cat write it goes into the logo in the loader's form,
// describing the same bytes.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "files.h"
#include "hex_test_support.h"
#include "logopack/intel_hex_reader.h"
#include "logopack/logo.h"
#include "run_process.h"
#include "temp_dir.h"

namespace logopack {
namespace {

using testsupport::ReadFile;
using testsupport::RunProcess;
using testsupport::TempDir;
using testsupport::WriteFile;

std::string withoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

// The firmware text as the logo stores it, after a trip through the JPEG.
std::string storedFirmware(const std::string& hexText) {
  auto hex = readIntelHex(hexText);
  if (!hex) {
    ADD_FAILURE() << hex.error().message;
    return "";
  }
  auto logo = makeLogo(UpdateFields{"", "1.0", "T", 1, 2, hex.value().image}, generatedLogoPicture());
  if (!logo) {
    ADD_FAILURE() << logo.error().message;
    return "";
  }
  auto contents = readLogo(logo.value());
  if (!contents) {
    ADD_FAILURE() << contents.error().message;
    return "";
  }
  // The updater's own loader takes it.
  EXPECT_EQ(listLogo(contents.value()).refusal, std::nullopt);
  return contents.value().fields.firmwareHex;
}

class ToolchainHex : public ::testing::Test {
 protected:
  std::filesystem::path tool(const std::string& name) {
    auto found = test::FindProgram(name);
    return found ? *found : std::filesystem::path();
  }
  void run(const std::vector<std::string>& argv) {
    auto result = RunProcess(argv);
    ASSERT_EQ(result.exitCode, 0) << argv[0] << ": " << result.err;
  }
  // objcopy's own reading of a HEX file as a flat binary from its lowest address.
  std::string flatBinary(const std::filesystem::path& objcopy, const std::string& hexText, const std::string& name) {
    WriteFile(dir.path() / (name + ".hex"), hexText);
    run({objcopy.string(), "-I", "ihex", "-O", "binary", (dir.path() / (name + ".hex")).string(),
         (dir.path() / (name + ".bin")).string()});
    return ReadFile(dir.path() / (name + ".bin"));
  }

  TempDir dir{"logopack"};
};

TEST_F(ToolchainHex, ObjcopyOutputWithEitherLineEnd) {
  const auto objcopy = tool("objcopy");
  if (objcopy.empty()) GTEST_SKIP() << "objcopy is not on PATH (package binutils)";
  const auto code = test::SampleBytes(1000, 1);
  const auto config = test::SampleBytes(64, 2);
  WriteFile(dir.path() / "code.bin", std::string(code.begin(), code.end()));
  WriteFile(dir.path() / "config.bin", std::string(config.begin(), config.end()));
  // Addresses below 1 MiB: objcopy writes segment (02) and start segment (03) records.
  run({objcopy.string(), "-I", "binary", "-O", "ihex", "--change-addresses", "0x805", "--add-section",
       ".config=" + (dir.path() / "config.bin").string(), "--set-section-flags", ".config=alloc,load,contents",
       "--change-section-address", ".config=0x10000", (dir.path() / "code.bin").string(),
       (dir.path() / "fw.hex").string()});
  const std::string written = ReadFile(dir.path() / "fw.hex");
  ASSERT_NE(written.find(":020000021000EC"), std::string::npos) << written;

  test::ByteMap expected;
  test::AddBytes(expected, 0x805, code);
  test::AddBytes(expected, 0x10000, config);
  for (const std::string& input : {written, withoutCarriageReturns(written)}) {
    const std::string stored = storedFirmware(input);
    ASSERT_TRUE(test::HasLoaderForm(stored));
    EXPECT_EQ(test::LoaderBytes(stored), expected);
  }
}

TEST_F(ToolchainHex, SrecCatSegmentAndLinearOutput) {
  const auto srecCat = tool("srec_cat");
  const auto objcopy = tool("objcopy");
  if (srecCat.empty() || objcopy.empty()) GTEST_SKIP() << "srec_cat or objcopy is not on PATH (srecord, binutils)";
  const auto bytes = test::SampleBytes(300, 3);
  WriteFile(dir.path() / "fw.bin", std::string(bytes.begin(), bytes.end()));
  test::ByteMap expected;
  test::AddBytes(expected, 0x1FFA0, bytes);

  // -address-length=3 writes segment addresses (02) and a start segment address (03); the
  // default writes linear addresses (04) and a start linear address (05). Both run across
  // the 64 KiB boundary at 0x20000.
  const std::vector<std::pair<std::string, std::string>> styles = {{"-address-length=3", ":02000002"},
                                                                   {"-address-length=4", ":04000005"}};
  for (const auto& [style, telltale] : styles) {
    const auto hexFile = dir.path() / "srec.hex";
    run({srecCat.string(), (dir.path() / "fw.bin").string(), "-binary", "-offset", "0x1FFA0",
         "-execution-start-address=0x1FFA0", "-o", hexFile.string(), "-Intel", style});
    const std::string written = ReadFile(hexFile);
    ASSERT_NE(written.find(telltale), std::string::npos) << written;

    const std::string stored = storedFirmware(written);
    ASSERT_TRUE(test::HasLoaderForm(stored)) << style;
    EXPECT_EQ(test::LoaderBytes(stored), expected) << style;
    EXPECT_EQ(flatBinary(objcopy, stored, "stored"), flatBinary(objcopy, written, "written")) << style;
  }
}

}  // namespace
}  // namespace logopack
