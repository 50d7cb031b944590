// Picture files for tests, written by libjpeg and libtiff the way other programs write them,
// and a way to see what code under test printed on stderr.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <tiff.h>

namespace framework_test {

using Rgb = std::array<uint8_t, 3>;
using RgbAt = std::function<Rgb(size_t x, size_t y)>;

// A baseline YCbCr JPEG at quality 95, with no colour profile.
std::string EncodeJpeg(size_t width, size_t height, const RgbAt& colourAt);
// A CMYK JPEG of one colour, each pixel holding stored as its four samples. With Adobe's
// marker (libjpeg's default for CMYK) readers take the samples as inverted inks.
std::string EncodeCmykJpeg(size_t width, size_t height, std::array<uint8_t, 4> stored,
                           bool adobeMarker);

// An 8-bit RGB TIFF in strips of 16 rows, its image data first and its directory last;
// compression is one of libtiff's COMPRESSION_ values.
void WriteTiff(const std::filesystem::path& path, size_t width, size_t height,
               const RgbAt& colourAt, uint16_t compression = COMPRESSION_NONE);

// One APP2 "ICC_PROFILE" marker: its sequence number (from 1), the number of chunks it
// claims the profile has, and its share of the profile.
struct IccChunk {
  uint8_t sequence;
  uint8_t count;
  std::string data;
};
// The JPEG with these markers, in this order, right after its start-of-image marker.
std::string WithIccChunks(const std::string& jpeg, const std::vector<IccChunk>& chunks);

// Runs action and returns what it wrote to file descriptor 2 meanwhile.
std::string StderrOf(const std::function<void()>& action);

}  // namespace framework_test
