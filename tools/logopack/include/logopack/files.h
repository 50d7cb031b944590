// Whole files in and out, with errors that name the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "logopack/result.h"

namespace logopack {

Result<std::string> readWholeFile(const std::filesystem::path& path);

// Writes beside the target first and renames it into place (see tools::replaceFile), so
// that a failed run never leaves a half-written logo where a good one was.
std::optional<Error> replaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace logopack
