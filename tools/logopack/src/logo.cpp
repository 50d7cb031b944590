#include "logopack/logo.h"

#include <charconv>
#include <optional>

#include "logopack/hex_text.h"
#include "logopack/intel_hex_reader.h"
#include "logopack/jpeg_codec.h"

namespace logopack {

namespace {

// The updater reads an id as a decimal number; shown in hex too, as USB tools show ids.
std::string describeId(const std::string& text) {
  std::uint32_t value = 0;
  auto [stop, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || status != std::errc{} || stop != text.data() + text.size() || value > 0xFFFF) {
    return "\"" + text + "\" (not an id from 0 to 65535)";
  }
  return text + " (" + hexNumber(value, 4) + ")";
}

std::string describeFirmware(const std::string& hexText) {
  auto hex = readIntelHex(hexText);
  if (!hex) return "not readable: " + hex.error().message + "\n";
  const FirmwareImage& image = hex.value().image;
  std::string text = std::to_string(hex.value().recordCount) + " records, " + std::to_string(image.byteCount()) +
                     " bytes\n";
  for (const Segment& segment : image.segments) {
    text += "  " + hexNumber(segment.address, 8) + "-" + hexNumber(segment.end() - 1, 8) + " (" +
            std::to_string(segment.bytes.size()) + " bytes)\n";
  }
  return text;
}

}  // namespace

Result<std::vector<std::uint8_t>> makeLogo(const UpdateFields& update, const Picture& picture) {
  auto text = buildPayloadText(update);
  if (!text) return text.error();
  return encodeJpeg(picture, scramblePayload(text.value()));
}

Result<LogoContents> readLogo(std::span<const std::uint8_t> jpegFile) {
  auto header = readJpegHeader(jpegFile);
  if (!header) return header.error();
  if (header.value().profile.empty()) {
    return Error{ErrorCode::NoProfile, "the JPEG has no colour profile, so it carries no update"};
  }
  return LogoContents{header.value().width, header.value().height, header.value().profile.size(),
                      splitPayloadText(unscramblePayload(header.value().profile))};
}

std::string describeLogo(const LogoContents& logo) {
  const PayloadFields& fields = logo.fields;
  return "version:     " + fields.version + "\n" +
         "title:       " + fields.title + "\n" +
         "vendor id:   " + describeId(fields.vendorId) + "\n" +
         "product id:  " + describeId(fields.productId) + "\n" +
         "first field: " + (fields.first.empty() ? "(empty)" : fields.first) + "\n" +
         "firmware:    " + describeFirmware(fields.firmwareHex) +
         "picture:     " + std::to_string(logo.width) + " x " + std::to_string(logo.height) + ", payload " +
         std::to_string(logo.profileBytes) + " bytes\n";
}

}  // namespace logopack
