// Small text files of the sysfs and simulator kind: whole-file reads and KEY=VALUE lines.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace os::text {

struct RegularFile {
  std::string contents;
  uid_t owner;
};

// The contents (at most 64 KiB are read) and owner of a regular file, or nothing when it
// cannot be read. Enumeration must never hang on what sits under a file's name: a FIFO, a
// device node or a link as the last path component is refused, and opening never blocks.
std::optional<RegularFile> readRegularFile(const std::filesystem::path& path);

// The contents alone, under the same rules.
std::optional<std::string> readFile(const std::filesystem::path& path);

// The first line of the file without its line end.
std::optional<std::string> readFirstLine(const std::filesystem::path& path);

// KEY=VALUE lines; the value is everything after the first '='. Lines without '=' are
// skipped, a later key replaces an earlier one.
std::map<std::string, std::string, std::less<>> parseKeyValueLines(std::string_view text);

// Digits alone: no sign, no prefix, nothing around them; nothing for any other text.
std::optional<std::int64_t> parseDecimal(std::string_view text);
std::optional<std::int64_t> parseHex(std::string_view text);

}  // namespace os::text
