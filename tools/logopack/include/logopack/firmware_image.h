// The firmware as the bytes it puts at each address, whatever file format described it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "logopack/result.h"

namespace logopack {

// A run of bytes at consecutive addresses.
struct Segment {
  std::uint32_t address = 0;
  std::vector<std::uint8_t> bytes;

  // One past the last address; 64 bits because a segment may end at the top of memory.
  std::uint64_t end() const { return std::uint64_t{address} + bytes.size(); }

  friend bool operator==(const Segment&, const Segment&) = default;
};

// Segments in ascending address order, neither overlapping nor touching: bytes at
// consecutive addresses are always one segment.
struct FirmwareImage {
  std::vector<Segment> segments;

  std::size_t byteCount() const;
  bool empty() const { return segments.empty(); }

  friend bool operator==(const FirmwareImage&, const FirmwareImage&) = default;
};

// Bytes as one record of a file gives them, before the records are put together.
struct DataChunk {
  std::uint32_t address = 0;
  std::vector<std::uint8_t> bytes;
  std::size_t line = 0;  // where the record stands in its file, for messages
};

// Puts the chunks together in address order. Chunks may overlap where they agree; where
// two give different values for one address, the image is refused naming both lines.
Result<FirmwareImage> assembleImage(std::vector<DataChunk> chunks);

}  // namespace logopack
