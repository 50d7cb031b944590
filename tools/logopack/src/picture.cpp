#include "logopack/picture.h"

#include <cmath>

namespace logopack {

Picture generatedLogoPicture() {
  constexpr std::uint32_t kSide = 128;
  constexpr double kRingRadius = 40.0;
  constexpr double kRingHalfWidth = 6.0;
  Picture picture{kSide, kSide, std::vector<std::uint8_t>(std::size_t{kSide} * kSide * 3)};
  std::size_t at = 0;
  for (std::uint32_t y = 0; y < kSide; ++y) {
    for (std::uint32_t x = 0; x < kSide; ++x) {
      const double distance = std::hypot(x + 0.5 - kSide / 2.0, y + 0.5 - kSide / 2.0);
      const bool onRing = std::abs(distance - kRingRadius) < kRingHalfWidth;
      picture.rgb[at++] = onRing ? 0xF0 : static_cast<std::uint8_t>(20 + x / 4);
      picture.rgb[at++] = onRing ? 0xF0 : static_cast<std::uint8_t>(60 + (x + y) / 4);
      picture.rgb[at++] = onRing ? 0xF0 : static_cast<std::uint8_t>(200 - y / 4);
    }
  }
  return picture;
}

}  // namespace logopack
