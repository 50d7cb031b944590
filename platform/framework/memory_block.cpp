#include "memory_block.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "system_log.h"

namespace fw {
namespace {

std::atomic<uint64_t> strayAccesses{0};

// An access outside the block does nothing, but it is a bug of the caller's: it is logged
// and counted, so that tests see it instead of a silent 0.
void Stray(const char* what, size_t offset, size_t length, size_t size) {
  strayAccesses.fetch_add(1, std::memory_order_relaxed);
  System::DebugLog(std::string("MemoryBlock: ") + what + " of " + std::to_string(length) + " bytes at offset " +
                   std::to_string(offset) + " outside a block of " + std::to_string(size) + " bytes");
}

}  // namespace

uint64_t MemoryBlock::StrayAccesses() { return strayAccesses.load(std::memory_order_relaxed); }

uint8_t MemoryBlock::UInt8Value(size_t offset) const {
  if (offset < bytes_.size()) return bytes_[offset];
  Stray("read", offset, 1, bytes_.size());
  return 0;
}

void MemoryBlock::SetUInt8Value(size_t offset, uint8_t value) {
  if (offset < bytes_.size()) {
    bytes_[offset] = value;
  } else {
    Stray("write", offset, 1, bytes_.size());
  }
}

uint32_t MemoryBlock::UInt32Value(size_t offset) const {
  if (!Inside(offset, 4)) {
    Stray("read", offset, 4, bytes_.size());
    return 0;
  }
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    const size_t shift = LittleEndian ? 8 * i : 8 * (3 - i);
    value |= static_cast<uint32_t>(bytes_[offset + i]) << shift;
  }
  return value;
}

void MemoryBlock::SetUInt32Value(size_t offset, uint32_t value) {
  if (!Inside(offset, 4)) {
    Stray("write", offset, 4, bytes_.size());
    return;
  }
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
