// Intel HEX seen from outside the packing tool: records built by hand, and the firmware
// text read the way the updater's loader reads it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace logopack::test {

// ":" + count, offset, type, data and checksum in upper-case hex, no line end.
std::string Record(std::uint16_t offset, std::uint8_t type, const std::vector<std::uint8_t>& data);
inline const std::string kEndOfFile = ":00000001FF";

// Address -> byte.
using ByteMap = std::map<std::uint32_t, std::uint8_t>;

// Success when the text is what the updater's loader takes without a word: CR LF after
// every line, nothing but data (00) and extended linear address (04) records with correct
// checksums and upper-case digits, no data record crossing a 64 KiB boundary, and the
// end-of-file record with its CR LF as the very end.
::testing::AssertionResult HasLoaderForm(const std::string& text);

// The bytes the loader puts where: upper address * 65536 + record address + index. Only for
// text that HasLoaderForm accepts.
ByteMap LoaderBytes(const std::string& text);

// `bytes` placed from `address` on.
void AddBytes(ByteMap& map, std::uint32_t address, const std::vector<std::uint8_t>& bytes);

// Deterministic bytes that differ from seed to seed.
std::vector<std::uint8_t> SampleBytes(std::size_t count, std::uint32_t seed);

// The program on PATH, if it is there.
std::optional<std::filesystem::path> FindProgram(const std::string& name);

}  // namespace logopack::test
