#include "logopack/intel_hex_writer.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

namespace logopack {

namespace {

constexpr std::uint8_t kDataRecord = 0x00;
constexpr std::uint8_t kEndOfFileRecord = 0x01;
constexpr std::uint8_t kExtendedLinearAddressRecord = 0x04;
constexpr std::string_view kLineEnd = "\r\n";

void appendHexByte(std::string& out, std::uint8_t value) {
  constexpr std::string_view digits = "0123456789ABCDEF";
  out += digits[value >> 4];
  out += digits[value & 0x0F];
}

void appendRecord(std::string& out, std::uint8_t type, std::uint16_t offset, std::span<const std::uint8_t> data) {
  const auto count = static_cast<std::uint8_t>(data.size());
  const auto offsetHigh = static_cast<std::uint8_t>(offset >> 8);
  const auto offsetLow = static_cast<std::uint8_t>(offset & 0xFF);
  std::uint8_t sum = static_cast<std::uint8_t>(count + offsetHigh + offsetLow + type);
  out += ':';
  for (std::uint8_t byte : {count, offsetHigh, offsetLow, type}) appendHexByte(out, byte);
  for (std::uint8_t byte : data) {
    appendHexByte(out, byte);
    sum = static_cast<std::uint8_t>(sum + byte);
  }
  appendHexByte(out, static_cast<std::uint8_t>(-sum));
  out += kLineEnd;
}

}  // namespace

std::string writeLoaderHex(const FirmwareImage& image) {
  std::string out;
  std::optional<std::uint16_t> upper;
  for (const Segment& segment : image.segments) {
    std::span<const std::uint8_t> rest(segment.bytes);
    std::uint32_t address = segment.address;
    while (!rest.empty()) {
      const auto addressUpper = static_cast<std::uint16_t>(address >> 16);
      if (upper != addressUpper) {
        const std::uint8_t upperBytes[] = {static_cast<std::uint8_t>(addressUpper >> 8),
                                           static_cast<std::uint8_t>(addressUpper & 0xFF)};
        appendRecord(out, kExtendedLinearAddressRecord, 0, upperBytes);
        upper = addressUpper;
      }
      const std::size_t toBoundary = kBytesPerDataRecord - address % kBytesPerDataRecord;
      const std::size_t length = std::min(rest.size(), toBoundary);
      appendRecord(out, kDataRecord, static_cast<std::uint16_t>(address & 0xFFFF), rest.first(length));
      rest = rest.subspan(length);
      address += static_cast<std::uint32_t>(length);
    }
  }
  appendRecord(out, kEndOfFileRecord, 0, {});
  return out;
}

}  // namespace logopack
