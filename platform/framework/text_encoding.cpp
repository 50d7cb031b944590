#include "text_encoding.h"

#include <cstring>

#include "plugin_abi.h"

namespace fw {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

template <class Unit>
Unit UnitAt(std::string_view bytes, size_t index) {
  Unit unit;
  std::memcpy(&unit, bytes.data() + index * sizeof(Unit), sizeof(Unit));
  return unit;
}

}  // namespace

std::string Utf16ToUtf8(std::string_view bytes) {
  std::string out;
  const size_t units = bytes.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    const char32_t unit = UnitAt<char16_t>(bytes, i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const char32_t low = UnitAt<char16_t>(bytes, i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, unit);  // a lone surrogate becomes U+FFFD
  }
  if (bytes.size() % 2) AppendUtf8(out, kReplacement);
  return out;
}

std::string Utf32ToUtf8(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size() / 4; ++i) AppendUtf8(out, UnitAt<char32_t>(bytes, i));
  if (bytes.size() % 4) AppendUtf8(out, kReplacement);
  return out;
}

std::optional<std::string> ConvertText(std::string_view bytes, uint32_t from, uint32_t to) {
  if (from == to) return std::string(bytes);
  if (to != kEncodingUTF8) return std::nullopt;
  switch (from) {
    case kEncodingUTF16: return Utf16ToUtf8(bytes);
    case kEncodingUTF32: return Utf32ToUtf8(bytes);
    case kEncodingUnknown: return std::string(bytes);  // raw bytes pass unchanged
    default: return std::nullopt;
  }
}

}  // namespace fw
