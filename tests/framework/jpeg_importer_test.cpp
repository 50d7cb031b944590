// The JPEG importer: the colour profile exactly as another program embedded it, and nothing,
// silently, from a file it cannot trust.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "files.h"
#include "folder_item.h"
#include "jpeg_importer.h"
#include "picture_test_files.h"
#include "run_process.h"
#include "temp_dir.h"

namespace {

using framework_test::IccChunk;
using framework_test::WithIccChunks;

constexpr size_t kWidth = 40;
constexpr size_t kHeight = 24;
// The most profile bytes one APP2 marker holds, in libjpeg's writers as in jpegtran.
constexpr size_t kLargestChunk = 65519;

std::string SmallJpeg() {
  return framework_test::EncodeJpeg(kWidth, kHeight, [](size_t x, size_t y) {
    return framework_test::Rgb{static_cast<uint8_t>(x * 6), static_cast<uint8_t>(y * 10), 128};
  });
}

std::string RandomBytes(size_t count) {
  std::mt19937 generator(static_cast<unsigned>(count));
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(byte(generator));
  return bytes;
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class JpegImporterTest : public ::testing::Test {
 protected:
  std::filesystem::path Write(const std::string& name, const std::string& bytes) {
    const auto path = dir_.path() / name;
    testsupport::WriteFile(path, bytes);
    return path;
  }

  // An importer that has read the file with everything asked for; what Import printed on
  // stderr is kept in printed_.
  fw::Ref<fw::JPEGImporterZuv> Imported(const std::filesystem::path& path) {
    auto importer = fw::MakeRef<fw::JPEGImporterZuv>();
    importer->File = fw::MakeRef<fw::FolderItem>(path);
    importer->ReadMarkers = true;
    importer->ReadProfileData = true;
    printed_ = framework_test::StderrOf([&] { importer->Import(); });
    return importer;
  }

  testsupport::TempDir dir_{"jpeg-importer"};
  std::string printed_;
};

TEST_F(JpegImporterTest, TheProfileIsExactlyWhatJpegtranEmbedded) {
  const auto plain = Write("plain.jpg", SmallJpeg());
  const auto withProfile = dir_.path() / "with-profile.jpg";
  // One chunk, the fullest single chunk, one byte into a second, and several.
  for (const size_t size : {300UL, kLargestChunk, kLargestChunk + 1, 3 * kLargestChunk + 1000}) {
    SCOPED_TRACE(size);
    const std::string profile = RandomBytes(size);
    const auto icc = Write("profile.icc", profile);
    // env finds jpegtran on PATH.
    const auto jpegtran = testsupport::RunProcess(
        {"/usr/bin/env", "jpegtran", "-icc", icc, "-outfile", withProfile, plain});
    ASSERT_EQ(jpegtran.exitCode, 0) << jpegtran.err;
    ASSERT_EQ(Occurrences(testsupport::ReadFile(withProfile), "ICC_PROFILE"),
              (size + kLargestChunk - 1) / kLargestChunk);

    const auto importer = Imported(withProfile);
    EXPECT_EQ(importer->ProfileData.size(), size);
    EXPECT_TRUE(importer->ProfileData == profile);
    ASSERT_TRUE(importer->Picture);
    EXPECT_EQ(importer->Picture->Width(), kWidth);
    EXPECT_EQ(importer->Picture->Height(), kHeight);
    EXPECT_EQ(printed_, "");
  }
}

TEST_F(JpegImporterTest, ChunksJoinInSequenceOrderWhateverTheirOrderInTheFile) {
  const auto path =
      Write("logo.jpg",
            WithIccChunks(SmallJpeg(), {{2, 3, "second "}, {3, 3, "third"}, {1, 3, "first "}}));
  EXPECT_EQ(Imported(path)->ProfileData, "first second third");
}

TEST_F(JpegImporterTest, ADamagedChunkSetCostsOnlyTheProfile) {
  const struct {
    const char* damage;
    std::vector<IccChunk> chunks;
  } cases[] = {
      {"a chunk missing", {{1, 3, "aa"}, {3, 3, "cc"}}},
      {"a sequence number twice", {{1, 2, "aa"}, {1, 2, "bb"}}},
      {"counts that disagree", {{1, 2, "aa"}, {2, 3, "bb"}}},
      {"sequence number 0", {{0, 1, "aa"}}},
  };
  for (const auto& [damage, chunks] : cases) {
    SCOPED_TRACE(damage);
    const auto importer = Imported(Write("logo.jpg", WithIccChunks(SmallJpeg(), chunks)));
    EXPECT_EQ(importer->ProfileData, "");
    ASSERT_TRUE(importer->Picture);
    EXPECT_EQ(importer->Picture->Width(), kWidth);
    EXPECT_EQ(printed_, "");
  }
}

// The same JPEG with its frame header's height and width replaced.
std::string ClaimingSize(std::string jpeg, uint16_t width, uint16_t height) {
  // After the baseline frame marker: length (2 bytes), precision (1), height, width.
  const size_t frame = jpeg.find("\xFF\xC0");
  jpeg.replace(frame + 5, 4,
               {static_cast<char>(height >> 8), static_cast<char>(height & 0xFF),
                static_cast<char>(width >> 8), static_cast<char>(width & 0xFF)});
  return jpeg;
}

TEST_F(JpegImporterTest, AFileItCannotTrustGivesNothingAndPrintsNothing) {
  const std::string profile(300, 'p');
  const std::string jpeg = WithIccChunks(SmallJpeg(), {{1, 1, profile}});
  ASSERT_EQ(Imported(Write("intact.jpg", jpeg))->ProfileData, profile);
  const size_t imageData = jpeg.find("\xFF\xDA");
  ASSERT_NE(imageData, std::string::npos);

  const struct {
    const char* file;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "not a picture\n"},
      {"cut inside the profile", jpeg.substr(0, 100)},
      {"cut inside the image data", jpeg.substr(0, (imageData + jpeg.size()) / 2)},
      {"cut before its end marker", jpeg.substr(0, jpeg.size() - 2)},
      {"claiming 60000 x 60000 pixels", ClaimingSize(jpeg, 60000, 60000)},
  };
  for (const auto& [file, bytes] : cases) {
    SCOPED_TRACE(file);
    const auto importer = Imported(Write(file, bytes));
    EXPECT_EQ(importer->ProfileData, "");
    EXPECT_FALSE(importer->Picture);
    EXPECT_EQ(printed_, "");
  }
  const auto missing = Imported(dir_.path() / "missing.jpg");
  EXPECT_EQ(missing->ProfileData, "");
  EXPECT_FALSE(missing->Picture);
  EXPECT_EQ(printed_, "");
}

TEST_F(JpegImporterTest, TheProfileIsReadOnlyWhenAskedForAndEachImportStartsAfresh) {
  auto importer = Imported(Write("logo.jpg", WithIccChunks(SmallJpeg(), {{1, 1, "profile"}})));
  ASSERT_EQ(importer->ProfileData, "profile");
  importer->ReadProfileData = false;
  importer->Import();
  EXPECT_EQ(importer->ProfileData, "");
  EXPECT_TRUE(importer->Picture);

  importer->ReadProfileData = true;
  importer->ReadMarkers = false;
  importer->Import();
  EXPECT_EQ(importer->ProfileData, "");
  EXPECT_TRUE(importer->Picture);

  importer->ReadMarkers = true;
  importer->File = nullptr;
  importer->Import();
  EXPECT_EQ(importer->ProfileData, "");
  EXPECT_FALSE(importer->Picture);
}

}  // namespace
