// demo_picture: writes the maker's picture that the updater's windows show, a 150 x 71 RGB
// TIFF: a dark-to-light band with a plain emblem (a ring around a diamond), the same on
// every build.
//   demo_picture OUT.tif
#include <tiffio.h>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <memory>
#include <span>
#include <vector>

namespace {

constexpr std::uint32_t kWidth = 150;
constexpr std::uint32_t kHeight = 71;
constexpr std::uint32_t kSamplesPerPixel = 3;

struct Rgb {
  std::uint8_t red, green, blue;
};

Rgb pixelAt(std::uint32_t x, std::uint32_t y) {
  constexpr double kCentreX = 35.5;
  constexpr double kCentreY = 35.5;
  const double dx = x + 0.5 - kCentreX;
  const double dy = y + 0.5 - kCentreY;
  const double distance = std::hypot(dx, dy);
  if (std::abs(dx) + std::abs(dy) < 16.0) return {0xE8, 0xB0, 0x30};  // diamond
  if (std::abs(distance - 26.0) < 3.5) return {0xF2, 0xF2, 0xF2};     // ring
  const auto shade = static_cast<std::uint8_t>(40 + x * 120 / kWidth);
  return {static_cast<std::uint8_t>(shade / 3), static_cast<std::uint8_t>(shade / 2), shade};
}

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

}  // namespace

int main(int argc, char** argv) {
  const auto args = std::span(argv, static_cast<std::size_t>(argc));
  if (args.size() != 2) {
    std::cerr << "usage: demo_picture OUT.tif\n";
    return 2;
  }
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(args[1], "w"));
  if (!tiff) {
    std::cerr << "demo_picture: cannot create " << args[1] << '\n';
    return 1;
  }
  TIFFSetField(tiff.get(), TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(tiff.get(), TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, kSamplesPerPixel);
  TIFFSetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tiff.get(), TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tiff.get(), TIFFTAG_ROWSPERSTRIP, kHeight);

  std::vector<std::uint8_t> row(kWidth * kSamplesPerPixel);
  for (std::uint32_t y = 0; y < kHeight; ++y) {
    for (std::uint32_t x = 0; x < kWidth; ++x) {
      const Rgb pixel = pixelAt(x, y);
      row[x * 3] = pixel.red;
      row[x * 3 + 1] = pixel.green;
      row[x * 3 + 2] = pixel.blue;
    }
    if (TIFFWriteScanline(tiff.get(), row.data(), y, 0) < 0) {
      std::cerr << "demo_picture: cannot write " << args[1] << '\n';
      return 1;
    }
  }
  return 0;
}
