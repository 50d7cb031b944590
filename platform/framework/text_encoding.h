// Conversion of UTF-16 and UTF-32 text (in this machine's byte order) to UTF-8. Malformed
// units become U+FFFD, so any bytes a plug-in hands over give valid UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

std::string Utf16ToUtf8(std::string_view bytes);
std::string Utf32ToUtf8(std::string_view bytes);
// Text of `bytes` in `from` re-encoded to `to`; nullopt when that pair is not supported.
std::optional<std::string> ConvertText(std::string_view bytes, uint32_t from, uint32_t to);

}  // namespace fw
