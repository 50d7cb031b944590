#include "logopack/firmware_image.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "logopack/hex_text.h"

namespace logopack {

namespace {

// The first address that both chunks give, with different values, if any.
std::optional<Error> findConflict(const DataChunk& earlier, const DataChunk& later) {
  const std::uint64_t from = std::max(earlier.address, later.address);
  const std::uint64_t to = std::min(std::uint64_t{earlier.address} + earlier.bytes.size(),
                                    std::uint64_t{later.address} + later.bytes.size());
  if (to <= from) return std::nullopt;
  const auto length = static_cast<std::size_t>(to - from);
  auto earlierBytes = std::span(earlier.bytes).subspan(static_cast<std::size_t>(from - earlier.address), length);
  auto laterBytes = std::span(later.bytes).subspan(static_cast<std::size_t>(from - later.address), length);
  auto [earlierAt, laterAt] = std::mismatch(earlierBytes.begin(), earlierBytes.end(), laterBytes.begin());
  if (earlierAt == earlierBytes.end()) return std::nullopt;
  const auto offset = static_cast<std::uint64_t>(laterAt - laterBytes.begin());
  std::string says[] = {"line " + std::to_string(earlier.line) + " gives " + hexNumber(*earlierAt, 2),
                        "line " + std::to_string(later.line) + " gives " + hexNumber(*laterAt, 2)};
  if (later.line < earlier.line) std::swap(says[0], says[1]);
  return Error{ErrorCode::OverlappingData,
               "overlapping data at " + hexNumber(from + offset, 8) + ": " + says[0] + ", " + says[1]};
}

// Joins pieces that touch into segments. The pieces are disjoint and in address order.
FirmwareImage joinTouching(std::vector<DataChunk>& pieces) {
  FirmwareImage image;
  for (auto& piece : pieces) {
    if (!image.segments.empty() && image.segments.back().end() == piece.address) {
      auto& bytes = image.segments.back().bytes;
      bytes.insert(bytes.end(), piece.bytes.begin(), piece.bytes.end());
    } else {
      image.segments.push_back(Segment{piece.address, std::move(piece.bytes)});
    }
  }
  return image;
}

}  // namespace

std::size_t FirmwareImage::byteCount() const {
  return std::accumulate(segments.begin(), segments.end(), std::size_t{0},
                         [](std::size_t sum, const Segment& segment) { return sum + segment.bytes.size(); });
}

Result<FirmwareImage> assembleImage(std::vector<DataChunk> chunks) {
  std::stable_sort(chunks.begin(), chunks.end(),
                   [](const DataChunk& a, const DataChunk& b) { return a.address < b.address; });

  // Each placed piece is the part of a chunk that no chunk before it in address order gave.
  // Chunks start in ascending order, so what is placed always covers one unbroken range
  // from the current chunk's start up to `coveredEnd`.
  std::vector<DataChunk> placed;
  std::uint64_t coveredEnd = 0;
  for (auto& chunk : chunks) {
    if (chunk.bytes.empty()) continue;
    const std::uint64_t start = chunk.address;
    const std::uint64_t end = start + chunk.bytes.size();
    if (!placed.empty() && start < coveredEnd) {
      auto first = std::partition_point(placed.begin(), placed.end(), [start](const DataChunk& piece) {
        return std::uint64_t{piece.address} + piece.bytes.size() <= start;
      });
      for (auto piece = first; piece != placed.end() && piece->address < end; ++piece) {
        if (auto conflict = findConflict(*piece, chunk)) return *conflict;
      }
      if (end <= coveredEnd) continue;
      const auto skip = static_cast<std::size_t>(coveredEnd - start);
      chunk.bytes.erase(chunk.bytes.begin(), chunk.bytes.begin() + static_cast<std::ptrdiff_t>(skip));
      chunk.address = static_cast<std::uint32_t>(coveredEnd);
    }
    coveredEnd = std::max(coveredEnd, end);
    placed.push_back(std::move(chunk));
  }
  return joinTouching(placed);
}

}  // namespace logopack
