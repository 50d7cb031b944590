// The update payload: the text the logo carries, and the bytes it is stored as.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "logopack/firmware_image.h"
#include "logopack/result.h"

namespace logopack {

// What a firmware maker puts into an update.
struct UpdateFields {
  std::string first;  // not read by the updater; free for the maker's own notes
  std::string version;
  std::string title;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  FirmwareImage firmware;
};

// The six fields as the updater cuts them out of a payload text.
struct PayloadFields {
  std::string first;
  std::string version;
  std::string title;
  std::string vendorId;
  std::string productId;
  std::string firmwareHex;
};

// The payload text: the fields joined by "$", the ids as decimal text, the firmware as the
// updater's loader reads it. Refused: a text field holding "$" (it would shift every field
// after it), and an update that the updater would call incomplete (no version, no
// firmware).
Result<std::string> buildPayloadText(const UpdateFields& fields);

// Checks the fields that the maker types: none may hold "$", the version must not be empty.
// buildPayloadText checks the same; this lets a caller refuse them before any file is read.
std::optional<Error> checkTextFields(std::string_view first, std::string_view version, std::string_view title);

// Cuts the text byte-wise at "$": a field that the text does not reach is empty, text after
// a sixth "$" is ignored.
PayloadFields splitPayloadText(std::string_view text);

// The bytes stored in the logo: every byte of the text XOR-combined with the payload key.
std::vector<std::uint8_t> scramblePayload(std::string_view text);
// The text back from the stored bytes.
std::string unscramblePayload(std::span<const std::uint8_t> stored);

// A USB vendor or product id: decimal, or hexadecimal after 0x; 0 to 65535.
Result<std::uint16_t> parseUsbId(std::string_view text);

}  // namespace logopack
