#include "text_file.h"

#include <algorithm>
#include <charconv>
#include <fstream>

namespace os::text {
namespace {

constexpr std::size_t kLargestFile = 64 * 1024;

std::optional<std::int64_t> parseNumber(std::string_view text, int base) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::string> readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string contents(kLargestFile, '\0');
  file.read(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (file.bad()) return std::nullopt;
  contents.resize(static_cast<std::size_t>(file.gcount()));
  return contents;
}

std::optional<std::string> readFirstLine(const std::filesystem::path& path) {
  auto contents = readFile(path);
  if (!contents) return std::nullopt;
  contents->resize(std::min(contents->find('\n'), contents->size()));
  if (!contents->empty() && contents->back() == '\r') contents->pop_back();
  return contents;
}

std::map<std::string, std::string, std::less<>> parseKeyValueLines(std::string_view text) {
  std::map<std::string, std::string, std::less<>> values;
  while (!text.empty()) {
    const std::size_t lineEnd = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, lineEnd);
    text.remove_prefix(std::min(lineEnd + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t separator = line.find('=');
    if (separator == std::string_view::npos) continue;
    values.insert_or_assign(std::string(line.substr(0, separator)), std::string(line.substr(separator + 1)));
  }
  return values;
}

std::optional<std::int64_t> parseDecimal(std::string_view text) { return parseNumber(text, 10); }

std::optional<std::int64_t> parseHex(std::string_view text) { return parseNumber(text, 16); }

}  // namespace os::text
