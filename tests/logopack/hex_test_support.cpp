#include "hex_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace logopack::test {

namespace {

std::string hexByte(std::uint8_t value) {
  constexpr std::string_view digits = "0123456789ABCDEF";
  return {digits[value >> 4], digits[value & 0x0F]};
}

std::uint8_t checksumOf(const std::vector<std::uint8_t>& bytes) {
  unsigned sum = 0;
  for (std::uint8_t byte : bytes) sum += byte;
  return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

std::vector<std::uint8_t> parseUpperHex(const std::string& digits) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::vector<std::string> crlfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

}  // namespace

std::string Record(std::uint16_t offset, std::uint8_t type, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes(4 + data.size());
  bytes[0] = static_cast<std::uint8_t>(data.size());
  bytes[1] = static_cast<std::uint8_t>(offset >> 8);
  bytes[2] = static_cast<std::uint8_t>(offset & 0xFF);
  bytes[3] = type;
  std::copy(data.begin(), data.end(), bytes.begin() + 4);
  bytes.push_back(checksumOf(bytes));
  std::string text = ":";
  for (std::uint8_t byte : bytes) text += hexByte(byte);
  return text;
}

::testing::AssertionResult HasLoaderForm(const std::string& text) {
  if (!text.ends_with("\r\n" + kEndOfFile + "\r\n") && text != kEndOfFile + "\r\n") {
    return ::testing::AssertionFailure() << "does not end with the end-of-file record and CR LF";
  }
  const auto lines = crlfLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    auto failure = [&] { return ::testing::AssertionFailure() << "line " << i + 1 << " \"" << line << "\": "; };
    if (line.size() < 11 || line[0] != ':' || line.size() % 2 == 0) return failure() << "not a record";
    if (line.find_first_not_of("0123456789ABCDEF", 1) != std::string::npos) return failure() << "not upper-case hex";
    const auto bytes = parseUpperHex(line.substr(1));
    if (bytes.size() != bytes[0] + 5u) return failure() << "wrong length";
    unsigned sum = 0;
    for (std::uint8_t byte : bytes) sum += byte;
    if (sum % 256 != 0) return failure() << "wrong checksum";
    const bool last = i + 1 == lines.size();
    const std::uint8_t type = bytes[3];
    if (last != (type == 0x01)) return failure() << "end-of-file record not last";
    if (type != 0x00 && type != 0x01 && type != 0x04) return failure() << "record type the loader refuses";
    if (type == 0x04 && bytes[0] != 2) return failure() << "extended linear address without two bytes";
    const unsigned offset = bytes[1] << 8 | bytes[2];
    if (type == 0x00 && offset + bytes[0] > 0x10000) return failure() << "crosses a 64 KiB boundary";
  }
  return ::testing::AssertionSuccess();
}

ByteMap LoaderBytes(const std::string& text) {
  ByteMap map;
  std::uint32_t upper = 0;
  for (const std::string& line : crlfLines(text)) {
    const auto bytes = parseUpperHex(line.substr(1));
    const std::vector<std::uint8_t> data(bytes.begin() + 4, bytes.end() - 1);
    if (bytes[3] == 0x04) upper = static_cast<std::uint32_t>(data[0] << 8 | data[1]);
    if (bytes[3] == 0x00) AddBytes(map, upper * 65536 + (bytes[1] << 8 | bytes[2]), data);
  }
  return map;
}

void AddBytes(ByteMap& map, std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) map[address + static_cast<std::uint32_t>(i)] = bytes[i];
}

std::vector<std::uint8_t> SampleBytes(std::size_t count, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(count);
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

std::optional<std::filesystem::path> FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path == nullptr ? "" : path);
  for (std::string folder; std::getline(folders, folder, ':');) {
    std::filesystem::path candidate = std::filesystem::path(folder.empty() ? "." : folder) / name;
    std::error_code ignored;
    if (std::filesystem::is_regular_file(candidate, ignored)) return candidate;
  }
  return std::nullopt;
}

}  // namespace logopack::test
