// The framework's byte buffer. A new block is zero-filled. Every accessor is bounds-checked:
// a read that does not lie inside the block gives 0 (or the bytes that do lie inside, for
// strings) and a write outside it changes nothing, so data from a device or a file can never
// reach past the buffer. A byte or 32-bit access outside the block is a caller's bug: it is
// logged and counted (StrayAccesses).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "object.h"

namespace fw {

class MemoryBlock : public Object {
 public:
  explicit MemoryBlock(size_t size) : bytes_(size, 0) {}
  explicit MemoryBlock(std::string_view bytes) : bytes_(bytes.begin(), bytes.end()) {}

  size_t Size() const { return bytes_.size(); }

  // How many byte and 32-bit accesses fell outside their block since the program started.
  static uint64_t StrayAccesses();

  // Byte order of the multi-byte accessors. This machine is little-endian, as the
  // platform's own blocks are.
  bool LittleEndian = true;

  uint8_t UInt8Value(size_t offset) const;
  void SetUInt8Value(size_t offset, uint8_t value);
  uint32_t UInt32Value(size_t offset) const;
  void SetUInt32Value(size_t offset, uint32_t value);
  int32_t Int32Value(size_t offset) const { return static_cast<int32_t>(UInt32Value(offset)); }
  void SetInt32Value(size_t offset, int32_t value) {
    SetUInt32Value(offset, static_cast<uint32_t>(value));
  }

  // The raw bytes from offset, at most length of them (fewer where the block ends).
  std::string StringValue(size_t offset, size_t length) const;
  // Copies min(length, value.size()) bytes of value to offset, as far as the block reaches;
  // the rest of the range is left as it was.
  void SetStringValue(size_t offset, size_t length, std::string_view value);
  // Sets count bytes from offset to value, clipped to the block.
  void Fill(size_t offset, size_t count, uint8_t value);

  // All bytes, as the conversion of a block to a String gives them.
  std::string ToString() const { return {bytes_.begin(), bytes_.end()}; }
  std::span<uint8_t> Bytes() { return bytes_; }
  std::span<const uint8_t> Bytes() const { return bytes_; }

 private:
  bool Inside(size_t offset, size_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::vector<uint8_t> bytes_;
};

// NewMemoryBlock(n): a zero-filled block of n bytes.
inline Ref<MemoryBlock> NewMemoryBlock(size_t size) { return MakeRef<MemoryBlock>(size); }

}  // namespace fw
