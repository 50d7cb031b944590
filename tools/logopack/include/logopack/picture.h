// A picture as the logo shows it: 8-bit RGB pixels.
#pragma once

#include <cstdint>
#include <vector>

namespace logopack {

struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgb;  // rows top to bottom, three bytes a pixel
};

// The logo used when the maker brings no picture: 128 x 128, a blue-to-teal gradient with
// a light ring, the same every time.
Picture generatedLogoPicture();

}  // namespace logopack
