// A decoded image as the windows draw it: Width() x Height() pixels of 8-bit red, green,
// blue and alpha, row by row from the top, Stride() (Width() * 4) bytes to a row and no
// padding between rows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "object.h"

namespace fw {

class Picture : public Object {
 public:
  static constexpr size_t kBytesPerPixel = 4;
  // Beyond any logo or backdrop (an 8K frame fits), and low enough that a damaged header
  // claiming a huge image cannot make the reader allocate gigabytes.
  static constexpr size_t kMaxPixels = size_t{1} << 25;

  // A transparent black picture for a decoder to fill; nullptr when a side is 0 or the
  // picture would have more than kMaxPixels.
  static Ref<Picture> Create(size_t width, size_t height);

  size_t Width() const { return width_; }
  size_t Height() const { return height_; }
  size_t Stride() const { return width_ * kBytesPerPixel; }
  std::span<const uint8_t> Pixels() const { return pixels_; }
  // Row y, Stride() bytes; empty for a row outside the picture.
  std::span<uint8_t> Row(size_t y);
  // Red, green, blue and alpha of one pixel; all 0 outside the picture.
  std::array<uint8_t, kBytesPerPixel> Pixel(size_t x, size_t y) const;

 protected:
  ~Picture() override = default;

 private:
  Picture(size_t width, size_t height)
      : width_(width), height_(height), pixels_(width * height * kBytesPerPixel, 0) {}

  size_t width_;
  size_t height_;
  std::vector<uint8_t> pixels_;
};

}  // namespace fw
