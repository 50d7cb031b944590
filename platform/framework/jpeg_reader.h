// Reads JPEG files through libjpeg-turbo: the embedded ICC colour profile and the image.
#pragma once

#include <filesystem>
#include <string>

#include "object.h"
#include "picture.h"

namespace fw {

struct JpegFileContents {
  // The profile's bytes, its APP2 "ICC_PROFILE" chunks joined in sequence order; empty when
  // the file has none, it was not asked for, or the chunk set is damaged.
  std::string iccProfile;
  Ref<Picture> picture;
};

// Both parts, or for a file that is missing, no JPEG, truncated, damaged or larger than
// Picture::kMaxPixels, neither. Never writes to stderr.
JpegFileContents ReadJpegFile(const std::filesystem::path& path, bool withIccProfile);

}  // namespace fw
