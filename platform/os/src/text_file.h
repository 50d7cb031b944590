// Small text files of the sysfs and simulator kind: whole-file reads and KEY=VALUE lines.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace os::text {

// The file's contents (at most 64 KiB are read), or nothing when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path);

// The first line of the file without its line end.
std::optional<std::string> readFirstLine(const std::filesystem::path& path);

// KEY=VALUE lines; the value is everything after the first '='. Lines without '=' are
// skipped, a later key replaces an earlier one.
std::map<std::string, std::string, std::less<>> parseKeyValueLines(std::string_view text);

std::optional<std::int64_t> parseDecimal(std::string_view text);
std::optional<std::int64_t> parseHex(std::string_view text);

}  // namespace os::text
