#include "text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <span>

#include "unique_fd.h"

namespace os::text {
namespace {

constexpr std::size_t kLargestFile = 64 * 1024;

std::optional<std::int64_t> parseNumber(std::string_view text, int base) {
  // sysfs and props numbers (ids, versions, process ids) carry no sign; from_chars would
  // take a minus and make "-5" a vendor id.
  if (text.starts_with('-')) return std::nullopt;
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<RegularFile> readRegularFile(const std::filesystem::path& path) {
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY));
  struct stat status {};
  if (!file.valid() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;

  // sysfs files claim a size they do not have, so read until the end instead of trusting it.
  std::string contents(kLargestFile, '\0');
  std::size_t filled = 0;
  while (filled < contents.size()) {
    const std::span<char> rest = std::span(contents).subspan(filled);
    const ssize_t length = ::read(file.get(), rest.data(), rest.size());
    if (length == 0) break;
    if (length < 0 && errno == EINTR) continue;
    if (length < 0) return std::nullopt;
    filled += static_cast<std::size_t>(length);
  }
  contents.resize(filled);
  return RegularFile{std::move(contents), status.st_uid};
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
  auto file = readRegularFile(path);
  if (!file) return std::nullopt;
  return std::move(file->contents);
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
