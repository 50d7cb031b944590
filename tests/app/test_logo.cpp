#include "test_logo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <span>
#include <vector>

#include "logopack/jpeg_codec.h"
#include "logopack/picture.h"
#include "picture_test_files.h"
#include "update_payload.h"
#include "zuv_utilities.h"

namespace app_test {

void WriteLogoWithProfile(const std::filesystem::path& path, std::string_view profile) {
  std::ofstream file(path, std::ios::binary);
  if (profile.empty()) {
    // The packing tool always writes a profile.
    file << framework_test::EncodeJpeg(16, 16, [](size_t, size_t) { return framework_test::Rgb{0x20, 0x60, 0xA0}; });
    return;
  }
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(profile.data()), profile.size());
  const auto encoded = logopack::encodeJpeg(logopack::generatedLogoPicture(), bytes);
  ASSERT_TRUE(encoded.ok()) << encoded.error().message;
  file.write(reinterpret_cast<const char*>(encoded.value().data()), static_cast<std::streamsize>(encoded.value().size()));
}

std::string UpdateText(const std::string& version, const std::string& title, int vendor, int product,
                       const std::string& firmware) {
  return "x$" + version + "$" + title + "$" + std::to_string(vendor) + "$" + std::to_string(product) + "$" + firmware;
}

void WriteUpdateLogo(const std::filesystem::path& path, const std::string& payload) {
  WriteLogoWithProfile(path, StringXORZuv(payload, UpdatePayload::kKey));
}

void WriteTiff(const std::filesystem::path& path, size_t width, size_t height) {
  framework_test::WriteTiff(path, width, height, [](size_t x, size_t) {
    return framework_test::Rgb{static_cast<uint8_t>(x), 0x40, 0x80};
  });
}

}  // namespace app_test
