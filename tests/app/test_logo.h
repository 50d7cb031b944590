// Resource files for the updater's tests, made by the packing tool's own encoder.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace app_test {

// A JPEG at path whose colour profile is exactly profile; without a profile when empty.
void WriteLogoWithProfile(const std::filesystem::path& path, std::string_view profile);
// An RGB TIFF of the given size.
void WriteTiff(const std::filesystem::path& path, size_t width, size_t height);

}  // namespace app_test
