// JPEG files through libjpeg-turbo: pictures and the colour profile that carries the
// payload. Nothing here prints; every libjpeg complaint comes back as an Error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "logopack/picture.h"
#include "logopack/result.h"

namespace logopack {

// libjpeg-turbo stores a colour profile in APP2 chunks of at most this many bytes, and the
// chunk numbering of such a profile counts to 255 at most.
inline constexpr std::size_t kMaxProfileChunkBytes = 65519;
inline constexpr std::size_t kMaxProfileChunks = 255;
inline constexpr std::size_t kMaxProfileBytes = kMaxProfileChunks * kMaxProfileChunkBytes;

// A logo is small; a picture wider or higher than this is taken for a mistake.
inline constexpr std::uint32_t kMaxPictureSide = 4096;

// A baseline JPEG of the picture with `profile` as its colour profile. The profile must not
// be empty nor larger than kMaxProfileBytes.
Result<std::vector<std::uint8_t>> encodeJpeg(const Picture& picture, std::span<const std::uint8_t> profile);

// The decoded picture, grey pictures turned into RGB. Damaged data is refused.
Result<Picture> decodeJpeg(std::span<const std::uint8_t> file);

struct JpegHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> profile;  // empty when the file has no colour profile
};

// The size and the colour profile, without decoding the picture.
Result<JpegHeader> readJpegHeader(std::span<const std::uint8_t> file);

}  // namespace logopack
