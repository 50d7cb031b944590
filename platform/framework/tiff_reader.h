// Reads TIFF files through libtiff.
#pragma once

#include <filesystem>

#include "object.h"
#include "picture.h"

namespace fw {

// The first image of the file; nullptr when the file is missing, no TIFF, truncated,
// damaged, of a kind libtiff cannot turn into RGBA, or larger than Picture::kMaxPixels.
// Never writes to stderr.
Ref<Picture> ReadTiffFile(const std::filesystem::path& path);

}  // namespace fw
