#include "utf8.h"

#include <cstdint>

namespace os::utf8 {
namespace {

struct CodePoint {
  char32_t value;
  std::size_t byteCount;
};

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes the code point at the start of `text` (which is not empty). Overlong forms,
// surrogates and values past U+10FFFF are invalid, as the UTF-8 definition says.
std::optional<CodePoint> decodeFirst(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text.front());
  if (lead < 0x80) return CodePoint{lead, 1};

  std::size_t byteCount = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    byteCount = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    byteCount = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    byteCount = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() < byteCount) return std::nullopt;
  for (std::size_t i = 1; i < byteCount; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!isContinuation(byte)) return std::nullopt;
    value = (value << 6) | (byte & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
  return CodePoint{value, byteCount};
}

}  // namespace

std::optional<std::size_t> utf16Length(std::string_view text) {
  std::size_t units = 0;
  while (!text.empty()) {
    const auto codePoint = decodeFirst(text);
    if (!codePoint) return std::nullopt;
    units += codePoint->value >= 0x10000 ? 2 : 1;
    text.remove_prefix(codePoint->byteCount);
  }
  return units;
}

std::string sanitized(std::string_view text) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string result;
  result.reserve(text.size());
  while (!text.empty()) {
    if (const auto codePoint = decodeFirst(text)) {
      result.append(text.substr(0, codePoint->byteCount));
      text.remove_prefix(codePoint->byteCount);
    } else {
      result.append(kReplacement);
      text.remove_prefix(1);
    }
  }
  return result;
}

}  // namespace os::utf8
