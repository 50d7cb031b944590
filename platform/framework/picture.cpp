#include "picture.h"

namespace fw {

Ref<Picture> Picture::Create(size_t width, size_t height) {
  if (width == 0 || height == 0 || width > kMaxPixels / height) return nullptr;
  return Ref<Picture>(new Picture(width, height));
}

std::span<uint8_t> Picture::Row(size_t y) {
  if (y >= height_) return {};
  return std::span(pixels_).subspan(y * Stride(), Stride());
}

std::array<uint8_t, Picture::kBytesPerPixel> Picture::Pixel(size_t x, size_t y) const {
  if (x >= width_ || y >= height_) return {};
  const auto pixel = Pixels().subspan((y * width_ + x) * kBytesPerPixel, kBytesPerPixel);
  return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

}  // namespace fw
