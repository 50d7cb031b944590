#include "logopack/actions.h"

#include <vector>

#include "logopack/files.h"
#include "logopack/intel_hex_reader.h"
#include "logopack/jpeg_codec.h"
#include "logopack/logo.h"

namespace logopack {

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& contents) {
  return std::vector<std::uint8_t>(contents.begin(), contents.end());
}

Result<Picture> loadPicture(const std::filesystem::path& pictureFile) {
  if (pictureFile.empty()) return generatedLogoPicture();
  auto contents = readWholeFile(pictureFile);
  if (!contents) return contents.error();
  auto picture = decodeJpeg(bytesOf(contents.value()));
  if (!picture) return picture.error().within(pictureFile.string());
  return picture;
}

}  // namespace

Result<std::string> packLogoFile(const PackRequest& request) {
  auto hexText = readWholeFile(request.hexFile);
  if (!hexText) return hexText.error();
  auto hex = readIntelHex(hexText.value());
  if (!hex) return hex.error().within(request.hexFile.string());
  auto picture = loadPicture(request.pictureFile);
  if (!picture) return picture.error();

  const UpdateFields update{request.first,    request.version,   request.title,
                            request.vendorId, request.productId, std::move(hex.value().image)};
  auto logo = makeLogo(update, picture.value());
  if (!logo) return logo.error().within(request.outFile.string());
  if (auto problem = replaceFile(request.outFile, logo.value())) return *problem;
  return request.outFile.string() + ": " + std::to_string(update.firmware.byteCount()) + " firmware bytes in " +
         std::to_string(update.firmware.segments.size()) + " address ranges, " + std::to_string(logo.value().size()) +
         " bytes written";
}

Result<LogoListing> listLogoFile(const std::filesystem::path& logoFile) {
  auto contents = readWholeFile(logoFile);
  if (!contents) return contents.error();
  auto logo = readLogo(bytesOf(contents.value()));
  if (!logo) return logo.error().within(logoFile.string());
  LogoListing listing = listLogo(logo.value());
  if (listing.refusal) listing.refusal = logoFile.string() + ": the updater would refuse this logo: " + *listing.refusal;
  return listing;
}

}  // namespace logopack
