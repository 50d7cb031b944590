// UTF-8 checks for strings that come from devices and files, which may hold any bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace os::utf8 {

// Number of UTF-16 code units the text needs, or nothing when it is not valid UTF-8.
std::optional<std::size_t> utf16Length(std::string_view text);

// The text with every invalid byte sequence replaced by U+FFFD.
std::string sanitized(std::string_view text);

}  // namespace os::utf8
