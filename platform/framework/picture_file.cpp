#include "picture_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>

#include "jpeg_reader.h"
#include "tiff_reader.h"

namespace fw {
namespace {

using Signature = std::array<uint8_t, 4>;

// A JPEG begins with the start-of-image marker and the next marker's 0xFF.
constexpr std::array<uint8_t, 3> kJpegStart{0xFF, 0xD8, 0xFF};
// Byte order ("II" little, "MM" big) and the version: 42 for TIFF, 43 for BigTIFF.
constexpr std::array<Signature, 4> kTiffStarts{{
    {'I', 'I', 42, 0},
    {'M', 'M', 0, 42},
    {'I', 'I', 43, 0},
    {'M', 'M', 0, 43},
}};

enum class PictureFormat { Jpeg, Tiff, Unknown };

PictureFormat FormatOf(const Signature& start) {
  if (std::equal(kJpegStart.begin(), kJpegStart.end(), start.begin())) return PictureFormat::Jpeg;
  if (std::find(kTiffStarts.begin(), kTiffStarts.end(), start) != kTiffStarts.end()) {
    return PictureFormat::Tiff;
  }
  return PictureFormat::Unknown;
}

PictureFormat FormatOfFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  Signature start{};
  if (!file.read(reinterpret_cast<char*>(start.data()), start.size())) {
    return PictureFormat::Unknown;
  }
  return FormatOf(start);
}

}  // namespace

Ref<Picture> ReadPictureFile(const std::filesystem::path& path) {
  switch (FormatOfFile(path)) {
    case PictureFormat::Jpeg:
      return ReadJpegFile(path, /*withIccProfile=*/false).picture;
    case PictureFormat::Tiff:
      return ReadTiffFile(path);
    case PictureFormat::Unknown:
      break;
  }
  return nullptr;
}

}  // namespace fw
