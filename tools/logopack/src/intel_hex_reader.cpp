#include "logopack/intel_hex_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "logopack/hex_text.h"

namespace logopack {

namespace {

enum RecordType : std::uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegmentAddress = 0x02,
  kStartSegmentAddress = 0x03,
  kExtendedLinearAddress = 0x04,
  kStartLinearAddress = 0x05,
};

// Byte count, two address bytes, record type, checksum.
constexpr std::size_t kRecordOverhead = 5;
constexpr std::uint64_t kAddressSpaceEnd = std::uint64_t{1} << 32;
constexpr std::uint32_t kSegmentSize = 0x10000;

struct Record {
  std::uint8_t type = 0;
  std::uint16_t offset = 0;
  std::vector<std::uint8_t> data;
};

Error recordError(std::string message) { return Error{ErrorCode::BadHexRecord, std::move(message)}; }

std::string_view trimmed(std::string_view line) {
  auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!line.empty() && isSpace(line.front())) line.remove_prefix(1);
  while (!line.empty() && isSpace(line.back())) line.remove_suffix(1);
  return line;
}

// A character that is no hex digit, readable in a message even when it is a control byte.
std::string describeCharacter(char c) {
  if (std::isprint(static_cast<unsigned char>(c)) != 0) return "'" + std::string(1, c) + "'";
  return "byte " + hexNumber(static_cast<unsigned char>(c), 2);
}

Result<Record> parseRecord(std::string_view line) {
  if (line.front() != ':') return recordError("does not start with ':'");
  const std::string_view digits = line.substr(1);
  auto bad = std::find_if_not(digits.begin(), digits.end(),
                              [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
  if (bad != digits.end()) {
    return recordError(describeCharacter(*bad) + " at column " + std::to_string(bad - digits.begin() + 2) +
                       " is not a hexadecimal digit");
  }
  if (digits.size() % 2 != 0) return recordError("has an odd number of hexadecimal digits");

  std::vector<std::uint8_t> bytes(digits.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::string_view pair = digits.substr(2 * i, 2);
    std::from_chars(pair.data(), pair.data() + pair.size(), bytes[i], 16);
  }
  if (bytes.size() < kRecordOverhead) return recordError("is too short for a record");
  const std::size_t count = bytes[0];
  if (bytes.size() != count + kRecordOverhead) {
    return recordError("its byte count " + std::to_string(count) + " does not match the " +
                       std::to_string(bytes.size() - kRecordOverhead) + " data bytes it holds");
  }
  std::uint8_t sum = 0;
  for (std::uint8_t byte : bytes) sum = static_cast<std::uint8_t>(sum + byte);
  if (sum != 0) {
    const auto expected = static_cast<std::uint8_t>(bytes.back() - sum);
    return recordError("checksum " + hexNumber(bytes.back(), 2) + " is wrong, the record's bytes give " +
                       hexNumber(expected, 2));
  }
  Record record;
  record.offset = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
  record.type = bytes[3];
  record.data.assign(bytes.begin() + 4, bytes.end() - 1);
  return record;
}

// The data length that a record of this type must have; nothing for data records and
// for types that do not exist.
std::optional<std::size_t> requiredLength(std::uint8_t type) {
  switch (type) {
    case kEndOfFile: return 0;
    case kExtendedSegmentAddress:
    case kExtendedLinearAddress: return 2;
    case kStartSegmentAddress:
    case kStartLinearAddress: return 4;
    default: return std::nullopt;
  }
}

// Where data records land: the base that the last extended address record set, and how
// offsets beyond 0xFFFF behave. Segment addressing wraps within its 64 KiB segment; linear
// addressing (and a file with no extended address record) goes on into the next 64 KiB.
struct AddressState {
  bool segmented = false;
  std::uint32_t base = 0;

  Result<std::vector<DataChunk>> place(const Record& record, std::size_t line) const {
    const std::size_t length = record.data.size();
    if (!segmented) {
      const std::uint64_t start = std::uint64_t{base} + record.offset;
      if (start + length > kAddressSpaceEnd) return recordError("its data runs past the 32-bit address space");
      return std::vector<DataChunk>{DataChunk{static_cast<std::uint32_t>(start), record.data, line}};
    }
    const std::size_t beforeWrap = std::min<std::size_t>(length, kSegmentSize - record.offset);
    std::vector<DataChunk> chunks{
        DataChunk{base + record.offset, {record.data.begin(), record.data.begin() + beforeWrap}, line}};
    if (beforeWrap < length) {
      chunks.push_back(DataChunk{base, {record.data.begin() + beforeWrap, record.data.end()}, line});
    }
    return chunks;
  }
};

}  // namespace

Result<IntelHexFile> readIntelHex(std::string_view text) {
  IntelHexFile file;
  std::vector<DataChunk> chunks;
  AddressState addressing;
  std::optional<std::size_t> endOfFileLine;
  std::size_t lineNumber = 0;

  for (std::size_t start = 0; start < text.size();) {
    const std::size_t newline = std::min(text.find('\n', start), text.size());
    const std::string_view line = trimmed(text.substr(start, newline - start));
    start = newline + 1;
    ++lineNumber;
    if (line.empty()) continue;
    const std::string where = "line " + std::to_string(lineNumber);
    if (endOfFileLine) {
      return recordError("text after the end-of-file record of line " + std::to_string(*endOfFileLine))
          .within(where);
    }

    auto record = parseRecord(line);
    if (!record) return record.error().within(where);
    const Record& r = record.value();
    ++file.recordCount;
    if (r.type > kStartLinearAddress) {
      return recordError("record type " + hexNumber(r.type, 2) + " does not exist").within(where);
    }
    if (auto length = requiredLength(r.type); length && r.data.size() != *length) {
      return recordError("a record of type " + hexNumber(r.type, 2) + " holds " + std::to_string(*length) +
                         " data bytes, not " + std::to_string(r.data.size()))
          .within(where);
    }

    switch (r.type) {
      case kData: {
        auto placed = addressing.place(r, lineNumber);
        if (!placed) return placed.error().within(where);
        for (auto& chunk : placed.value()) chunks.push_back(std::move(chunk));
        break;
      }
      case kEndOfFile: endOfFileLine = lineNumber; break;
      case kExtendedSegmentAddress:
        addressing = AddressState{true, static_cast<std::uint32_t>(r.data[0] << 8 | r.data[1]) << 4};
        break;
      case kExtendedLinearAddress:
        addressing = AddressState{false, static_cast<std::uint32_t>(r.data[0] << 8 | r.data[1]) << 16};
        break;
      default: break;  // start addresses: where a program begins means nothing to the updater
    }
  }
  if (!endOfFileLine) {
    return recordError("the text ends at line " + std::to_string(lineNumber) + " without an end-of-file record");
  }

  auto image = assembleImage(std::move(chunks));
  if (!image) return image.error();
  file.image = std::move(image.value());
  return file;
}

}  // namespace logopack
