// A decoded image: 8-bit RGBA pixels, row by row.
#pragma once

#include <cstdint>
#include <vector>

#include "object.h"

namespace fw {

class Picture : public Object {
 public:
  Picture(int width, int height, std::vector<uint8_t> rgba)
      : width_(width), height_(height), rgba_(std::move(rgba)) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::vector<uint8_t>& Pixels() const { return rgba_; }

 private:
  int width_;
  int height_;
  std::vector<uint8_t> rgba_;
};

}  // namespace fw
