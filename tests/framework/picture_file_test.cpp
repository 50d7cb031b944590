// FolderItem.OpenAsPicture: JPEG and TIFF files told apart by their bytes and decoded to RGBA,
// and nothing, silently, for anything else.
#include <gtest/gtest.h>

#include <string>

#include "files.h"
#include "folder_item.h"
#include "picture_test_files.h"
#include "temp_dir.h"

namespace {

using framework_test::Rgb;

void ExpectColour(const fw::Ref<fw::Picture>& picture, size_t x, size_t y, Rgb expected,
                  int tolerance) {
  const auto pixel = picture->Pixel(x, y);
  for (size_t channel = 0; channel < expected.size(); ++channel) {
    EXPECT_NEAR(pixel[channel], expected[channel], tolerance)
        << "channel " << channel << " at " << x << "," << y;
  }
  EXPECT_EQ(pixel[3], 255) << "alpha at " << x << "," << y;
}

class PictureFileTest : public ::testing::Test {
 protected:
  fw::Ref<fw::Picture> Open(const std::string& name) {
    return fw::MakeRef<fw::FolderItem>(dir_.path() / name)->OpenAsPicture();
  }
  testsupport::TempDir dir_{"pictures"};
};

// Red, green, blue and white quarters: a decoder that swaps channels, rows or sides shows it.
Rgb Quarters(size_t x, size_t y) {
  constexpr Rgb kColours[2][2] = {{{255, 0, 0}, {0, 255, 0}}, {{0, 0, 255}, {255, 255, 255}}};
  return kColours[y < 16 ? 0 : 1][x < 32 ? 0 : 1];
}

TEST_F(PictureFileTest, AJpegDecodesWhateverItsName) {
  testsupport::WriteFile(dir_.path() / "Trovak.tif", framework_test::EncodeJpeg(64, 32, Quarters));
  const auto picture = Open("Trovak.tif");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->Width(), 64U);
  EXPECT_EQ(picture->Height(), 32U);
  EXPECT_EQ(picture->Pixels().size(), 64U * 32U * 4U);
  ExpectColour(picture, 8, 8, {255, 0, 0}, 8);
  ExpectColour(picture, 56, 8, {0, 255, 0}, 8);
  ExpectColour(picture, 8, 24, {0, 0, 255}, 8);
  ExpectColour(picture, 56, 24, {255, 255, 255}, 8);
}

TEST_F(PictureFileTest, ACmykJpegBecomesRgb) {
  // Full cyan over half black, stored both ways.
  for (const bool adobe : {true, false}) {
    SCOPED_TRACE(adobe ? "inverted, with Adobe's marker" : "plain");
    const std::array<uint8_t, 4> stored =
        adobe ? std::array<uint8_t, 4>{0, 255, 255, 127} : std::array<uint8_t, 4>{255, 0, 0, 128};
    testsupport::WriteFile(dir_.path() / "cmyk.jpg",
                           framework_test::EncodeCmykJpeg(16, 16, stored, adobe));
    const auto picture = Open("cmyk.jpg");
    ASSERT_TRUE(picture);
    ExpectColour(picture, 8, 8, {0, 127, 127}, 3);
  }
}

TEST_F(PictureFileTest, ATiffDecodesExactlyWhateverItsName) {
  framework_test::WriteTiff(dir_.path() / "logo.jpg", 150, 71, [](size_t x, size_t y) {
    return Rgb{static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(x + y)};
  });
  const auto picture = Open("logo.jpg");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->Width(), 150U);
  EXPECT_EQ(picture->Height(), 71U);
  ExpectColour(picture, 0, 0, {0, 0, 0}, 0);
  ExpectColour(picture, 149, 0, {149, 0, 149}, 0);
  ExpectColour(picture, 0, 70, {0, 70, 70}, 0);
  ExpectColour(picture, 149, 70, {149, 70, 219}, 0);
  ExpectColour(picture, 77, 33, {77, 33, 110}, 0);
}

TEST_F(PictureFileTest, AnythingElseGivesNothingAndPrintsNothing) {
  const std::string jpeg = framework_test::EncodeJpeg(64, 32, Quarters);
  framework_test::WriteTiff(dir_.path() / "whole.tif", 150, 71, [](size_t, size_t) {
    return Rgb{1, 2, 3};
  });
  const std::string tiff = testsupport::ReadFile(dir_.path() / "whole.tif");
  framework_test::WriteTiff(
      dir_.path() / "garbled.tif", 150, 71,
      [](size_t, size_t) {
        return Rgb{1, 2, 3};
      },
      COMPRESSION_ADOBE_DEFLATE);
  // The compressed data right after the 8-byte header, garbled; the directory stays intact.
  std::string garbled = testsupport::ReadFile(dir_.path() / "garbled.tif");
  garbled.replace(8, 32, 32, '\xFF');
  testsupport::WriteFile(dir_.path() / "garbled.tif", garbled);
  testsupport::WriteFile(dir_.path() / "notes.txt", "not a picture\n");
  testsupport::WriteFile(dir_.path() / "empty.jpg", "");
  testsupport::WriteFile(dir_.path() / "cut.jpg", jpeg.substr(0, jpeg.size() / 2));
  testsupport::WriteFile(dir_.path() / "cut.tif", tiff.substr(0, tiff.size() / 2));
  std::filesystem::create_directory(dir_.path() / "folder.jpg");

  for (const char* name : {"notes.txt", "empty.jpg", "cut.jpg", "cut.tif", "garbled.tif",
                           "folder.jpg", "missing.tif"}) {
    SCOPED_TRACE(name);
    fw::Ref<fw::Picture> picture;
    EXPECT_EQ(framework_test::StderrOf([&] { picture = Open(name); }), "");
    EXPECT_FALSE(picture);
  }
}

}  // namespace
