// Resource files for the updater's tests, made by the packing tool's own encoder.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace app_test {

// A JPEG at path whose colour profile is exactly profile; without a profile when empty.
void WriteLogoWithProfile(const std::filesystem::path& path, std::string_view profile);
// The text an update carries: version, title, the device's ids and the firmware text.
std::string UpdateText(const std::string& version, const std::string& title, int vendor, int product,
                       const std::string& firmware);
// A JPEG at path carrying payload as its colour profile, hidden with the update's key as the
// packing tool hides it.
void WriteUpdateLogo(const std::filesystem::path& path, const std::string& payload);
// An RGB TIFF of the given size.
void WriteTiff(const std::filesystem::path& path, size_t width, size_t height);

}  // namespace app_test
