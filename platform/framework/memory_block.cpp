#include "memory_block.h"

#include <algorithm>

namespace fw {

uint8_t MemoryBlock::UInt8Value(size_t offset) const {
  return offset < bytes_.size() ? bytes_[offset] : 0;
}

void MemoryBlock::SetUInt8Value(size_t offset, uint8_t value) {
  if (offset < bytes_.size()) bytes_[offset] = value;
}

uint32_t MemoryBlock::UInt32Value(size_t offset) const {
  if (!Inside(offset, 4)) return 0;
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    const size_t shift = LittleEndian ? 8 * i : 8 * (3 - i);
    value |= static_cast<uint32_t>(bytes_[offset + i]) << shift;
  }
  return value;
}

void MemoryBlock::SetUInt32Value(size_t offset, uint32_t value) {
  if (!Inside(offset, 4)) return;
  for (size_t i = 0; i < 4; ++i) {
    const size_t shift = LittleEndian ? 8 * i : 8 * (3 - i);
    bytes_[offset + i] = static_cast<uint8_t>(value >> shift);
  }
}

std::string MemoryBlock::StringValue(size_t offset, size_t length) const {
  if (offset >= bytes_.size()) return {};
  const size_t count = std::min(length, bytes_.size() - offset);
  return {bytes_.begin() + static_cast<std::ptrdiff_t>(offset),
          bytes_.begin() + static_cast<std::ptrdiff_t>(offset + count)};
}

void MemoryBlock::SetStringValue(size_t offset, size_t length, std::string_view value) {
  if (offset >= bytes_.size()) return;
  const size_t count = std::min({length, value.size(), bytes_.size() - offset});
  std::copy_n(value.begin(), count, bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
}

void MemoryBlock::Fill(size_t offset, size_t count, uint8_t value) {
  if (offset >= bytes_.size()) return;
  count = std::min(count, bytes_.size() - offset);
  std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), count, value);
}

}  // namespace fw
