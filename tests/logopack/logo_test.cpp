#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files.h"
#include "hex_test_support.h"
#include "logopack/intel_hex_reader.h"
#include "logopack/jpeg_codec.h"
#include "logopack/logo.h"
#include "run_process.h"
#include "temp_dir.h"

namespace logopack {
namespace {

UpdateFields updateWithFirmware(std::size_t firmwareBytes) {
  return UpdateFields{"note", "2.5", "Big one", 0x1234, 0x5678,
                      FirmwareImage{{{0x10000, test::SampleBytes(firmwareBytes, 9)}}}};
}

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }
std::string textOf(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// Each APP2 chunk of a colour profile starts with this tag.
const std::string kProfileTag("ICC_PROFILE\0", 12);

std::size_t profileChunks(const std::vector<std::uint8_t>& jpeg) {
  const std::string text = textOf(jpeg);
  std::size_t count = 0;
  for (std::size_t at = text.find(kProfileTag); at != std::string::npos; at = text.find(kProfileTag, at + 1)) {
    ++count;
  }
  return count;
}

TEST(Logo, PayloadOverOneChunkRoundTrips) {
  const UpdateFields update = updateWithFirmware(40000);
  auto logo = makeLogo(update, generatedLogoPicture());
  ASSERT_TRUE(logo) << logo.error().message;
  EXPECT_GE(profileChunks(logo.value()), 2u);

  auto contents = readLogo(logo.value());
  ASSERT_TRUE(contents) << contents.error().message;
  EXPECT_EQ(contents.value().width, 128u);
  EXPECT_GT(contents.value().profileBytes, kMaxProfileChunkBytes);
  const PayloadFields& fields = contents.value().fields;
  EXPECT_EQ(fields.first, "note");
  EXPECT_EQ(fields.version, "2.5");
  EXPECT_EQ(fields.title, "Big one");
  EXPECT_EQ(fields.vendorId, "4660");
  EXPECT_EQ(fields.productId, "22136");
  auto firmware = readIntelHex(fields.firmwareHex);
  ASSERT_TRUE(firmware) << firmware.error().message;
  EXPECT_EQ(firmware.value().image, update.firmware);
}

TEST(Logo, ProfileFillsAtMost255Chunks) {
  const Picture tiny{8, 8, std::vector<std::uint8_t>(8 * 8 * 3, 0x80)};
  const std::vector<std::uint8_t> largest(kMaxProfileBytes, 0x5A);
  auto full = encodeJpeg(tiny, largest);
  ASSERT_TRUE(full) << full.error().message;
  EXPECT_EQ(profileChunks(full.value()), 255u);
  auto header = readJpegHeader(full.value());
  ASSERT_TRUE(header) << header.error().message;
  EXPECT_EQ(header.value().profile, largest);

  auto refused = encodeJpeg(tiny, std::vector<std::uint8_t>(kMaxProfileBytes + 1, 0x5A));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().code, ErrorCode::PayloadTooLarge);
  EXPECT_NE(refused.error().message.find("at most 16707345"), std::string::npos) << refused.error().message;
}

TEST(Logo, UnreadableFilesGiveErrorsNotCrashes) {
  auto logo = makeLogo(updateWithFirmware(70000), generatedLogoPicture());
  ASSERT_TRUE(logo) << logo.error().message;
  // A chunk numbered 0: the profile cannot be put together, the picture still decodes.
  std::vector<std::uint8_t> badChunk = logo.value();
  badChunk.at(textOf(badChunk).find(kProfileTag) + kProfileTag.size()) = 0;
  const std::vector<std::uint8_t> halfFile(logo.value().begin(), logo.value().begin() + logo.value().size() / 2);

  struct Case {
    std::vector<std::uint8_t> file;
    std::string words;
    bool pictureReadable;
  };
  const Case cases[] = {
      {{}, "cannot read it as a JPEG", false},
      {bytesOf("plain text, not a picture"), "cannot read it as a JPEG: Not a JPEG file", false},
      {halfFile, "cannot read it as a JPEG", false},
      {badChunk, "its colour profile is damaged", true},
  };
  for (const Case& c : cases) {
    auto contents = readLogo(c.file);
    ASSERT_FALSE(contents) << c.words;
    EXPECT_EQ(contents.error().code, ErrorCode::BadPicture);
    EXPECT_NE(contents.error().message.find(c.words), std::string::npos) << contents.error().message;
    EXPECT_EQ(decodeJpeg(c.file).ok(), c.pictureReadable) << c.words;
  }
}

// jpegtran is an independent JPEG tool: the profile it copies is the one the updater
// reads; without one the logo carries nothing; and a grey picture of its making serves as
// the maker's picture, re-encoded at its own size.
TEST(Logo, StandardToolsSeeAStandardJpeg) {
  auto jpegtran = test::FindProgram("jpegtran");
  if (!jpegtran) GTEST_SKIP() << "jpegtran is not on PATH (package libjpeg-turbo-progs)";
  testsupport::TempDir dir("logopack");
  const Picture picture{40, 30, test::SampleBytes(40 * 30 * 3, 4)};
  auto logo = makeLogo(updateWithFirmware(70000), picture);
  ASSERT_TRUE(logo) << logo.error().message;
  const auto logoFile = dir.path() / "logo.jpg";
  testsupport::WriteFile(logoFile, textOf(logo.value()));

  auto transformed = [&](std::vector<std::string> options) {
    options.insert(options.begin(), jpegtran->string());
    options.insert(options.end(), {"-outfile", (dir.path() / "out.jpg").string(), logoFile.string()});
    auto run = testsupport::RunProcess(options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return bytesOf(testsupport::ReadFile(dir.path() / "out.jpg"));
  };
  auto copy = readLogo(transformed({"-copy", "all"}));
  ASSERT_TRUE(copy) << copy.error().message;
  EXPECT_EQ(copy.value().fields.firmwareHex, readLogo(logo.value()).value().fields.firmwareHex);

  const auto greyFile = transformed({"-copy", "none", "-grayscale"});
  auto none = readLogo(greyFile);
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().code, ErrorCode::NoProfile);
  auto grey = decodeJpeg(greyFile);
  ASSERT_TRUE(grey) << grey.error().message;
  auto repacked = makeLogo(updateWithFirmware(16), grey.value());
  ASSERT_TRUE(repacked) << repacked.error().message;
  auto header = readJpegHeader(repacked.value());
  ASSERT_TRUE(header) << header.error().message;
  EXPECT_EQ(header.value().width, 40u);
  EXPECT_EQ(header.value().height, 30u);
}

}  // namespace
}  // namespace logopack
