#include "zuv_utilities.h"

#include <array>
#include <utility>

#include "text_functions.h"

std::string StringXORZuv(std::string_view a, std::string_view key) {
  std::string result(a);
  if (key.empty()) return result;
  for (size_t i = 0; i < result.size(); ++i) {
    result[i] = static_cast<char>(result[i] ^ key[i % key.size()]);
  }
  return result;
}

std::string EncodingToHexZuv(std::string_view s) {
  static constexpr std::array<char, 16> kDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                   '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
  std::string text;
  text.reserve(2 * s.size());
  for (char c : s) {
    const auto byte = static_cast<uint8_t>(c);
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

namespace {

bool IsSkippedSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

HexDecoding Failure(HexTextError::Code code, size_t offset, std::string message) {
  HexDecoding result;
  result.ok = false;
  result.error = {code, offset, std::move(message)};
  return result;
}

}  // namespace

HexDecoding DecodeHexText(std::string_view text) {
  // The messages count characters from 1, as the person who typed the text does.
  HexDecoding result;
  int highNibble = -1;
  size_t highOffset = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsSkippedSpace(text[i])) continue;
    const int digit = fw::HexDigitValue(text[i]);
    if (digit < 0) {
      return Failure(HexTextError::Code::InvalidCharacter, i,
                     "Not a hexadecimal digit at position " + fw::Str(static_cast<int64_t>(i + 1)) +
                         ".");
    }
    if (highNibble < 0) {
      highNibble = digit;
      highOffset = i;
    } else {
      result.bytes.push_back(static_cast<char>(highNibble << 4 | digit));
      highNibble = -1;
    }
  }
  if (highNibble >= 0) {
    return Failure(HexTextError::Code::OddDigitCount, highOffset,
                   "The last hexadecimal digit (position " +
                       fw::Str(static_cast<int64_t>(highOffset + 1)) + ") has no partner.");
  }
  return result;
}

std::string DecodingFromHexZuv(std::string_view s) {
  HexDecoding decoding = DecodeHexText(s);
  return decoding.ok ? std::move(decoding.bytes) : std::string();
}

void FillBytesZuv(fw::MemoryBlock& block, int32_t offset, int32_t count, int32_t value) {
  if (offset < 0 || count < 0) return;
  block.Fill(static_cast<size_t>(offset), static_cast<size_t>(count),
             static_cast<uint8_t>(value & 0xFF));
}
