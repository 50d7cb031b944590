// The logo image: a JPEG whose colour profile is the scrambled update payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "logopack/payload.h"
#include "logopack/picture.h"
#include "logopack/result.h"

namespace logopack {

// The JPEG file of `picture` carrying `update`.
Result<std::vector<std::uint8_t>> makeLogo(const UpdateFields& update, const Picture& picture);

// What a logo carries, as the updater would read it.
struct LogoContents {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::size_t profileBytes = 0;
  PayloadFields fields;
};

// Refuses a file that is no JPEG and a JPEG without a colour profile.
Result<LogoContents> readLogo(std::span<const std::uint8_t> jpegFile);

// What a logo carries, for people, and whether the updater would take it.
struct LogoListing {
  // Version, title, the ids the updater searches for in decimal and hex (with their text
  // where that is not plain decimal), the first field, and the firmware's records, bytes and
  // address ranges as the updater's loader reads them; control characters shown as escapes.
  std::string text;
  // Why the updater would refuse the update, if it would.
  std::optional<std::string> refusal;
};
LogoListing listLogo(const LogoContents& logo);

}  // namespace logopack
