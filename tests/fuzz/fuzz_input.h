// Takes typed values off the front of a fuzzer's input. The gcc build has no libFuzzer and so
// no FuzzedDataProvider; this small stand-in works in both builds. Every value is cut from a
// std::span, and an input that runs out gives zeros and empty strings, never a read past it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>

namespace fuzz {

class FuzzInput {
 public:
  explicit FuzzInput(std::span<const uint8_t> bytes) : rest_(bytes) {}

  size_t Remaining() const { return rest_.size(); }
  bool Empty() const { return rest_.empty(); }

  uint8_t Byte() {
    if (rest_.empty()) return 0;
    const uint8_t byte = rest_.front();
    rest_ = rest_.subspan(1);
    return byte;
  }

  bool Bool() { return (Byte() & 1) != 0; }

  // An integer built from sizeof(T) bytes, little-endian.
  template <class T>
  T Integral() {
    static_assert(std::is_integral_v<T>);
    using U = std::make_unsigned_t<T>;
    U value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) value = static_cast<U>(value | static_cast<U>(U{Byte()} << (8 * i)));
    return static_cast<T>(value);
  }

  // A value in [low, high], from as few bytes as the range needs.
  template <class T>
  T InRange(T low, T high) {
    static_assert(std::is_integral_v<T>);
    if (high <= low) return low;
    const uint64_t range = static_cast<uint64_t>(high) - static_cast<uint64_t>(low);
    uint64_t raw = 0;
    for (uint64_t covered = 0; covered < range && !rest_.empty(); covered = (covered << 8) | 0xFF) {
      raw = (raw << 8) | Byte();
    }
    const uint64_t offset = range == UINT64_MAX ? raw : raw % (range + 1);
    return static_cast<T>(static_cast<uint64_t>(low) + offset);
  }

  // Picks one of the n items of an array-like choice.
  size_t Index(size_t n) { return n == 0 ? 0 : InRange<size_t>(0, n - 1); }

  // Up to count bytes, fewer where the input ends.
  std::string Bytes(size_t count) {
    const std::span<const uint8_t> taken = rest_.first(std::min(count, rest_.size()));
    rest_ = rest_.subspan(taken.size());
    return {taken.begin(), taken.end()};
  }

  // A string of a length the input chooses, at most maxLength bytes.
  std::string String(size_t maxLength) { return Bytes(InRange<size_t>(0, maxLength)); }

  std::string RemainingBytes() { return Bytes(rest_.size()); }

 private:
  std::span<const uint8_t> rest_;
};

}  // namespace fuzz
