// Pictures from files, JPEG or TIFF, told apart by the file's first bytes: a picture's name
// says nothing reliable about what it holds.
#pragma once

#include <filesystem>

#include "object.h"
#include "picture.h"

namespace fw {

// The decoded picture; nullptr when the file is missing, unreadable, neither JPEG nor TIFF,
// truncated or damaged.
Ref<Picture> ReadPictureFile(const std::filesystem::path& path);

}  // namespace fw
