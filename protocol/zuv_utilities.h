// The program's string and byte-buffer utilities: XOR with a key, bytes to hexadecimal text
// and back, and filling a range of a byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "memory_block.h"

// Every byte of a combined with the key byte at the same position, the key repeated as often
// as needed. The result is as long as a; an empty key leaves a unchanged.
std::string StringXORZuv(std::string_view a, std::string_view key);

// The bytes of s as hexadecimal text, two upper-case digits per byte and no separators:
// "\x0A\xFF" gives "0AFF".
std::string EncodingToHexZuv(std::string_view s);

// Why a text is not hexadecimal, and where it goes wrong.
struct HexTextError {
  enum class Code { InvalidCharacter = 1, OddDigitCount };
  Code code;
  size_t offset;  // of the offending character; of the lone last digit for OddDigitCount
  std::string message;  // for the user: positions in it count from 1
};

// The bytes a hexadecimal text spells, or why it spells none, so that the console can tell
// the user what is wrong with a text typed into it. Digits of either case are read; blanks,
// tabs and line ends anywhere are skipped, so "0a ff" and "0AFF" are equal. Anything else, or
// an odd number of digits, is an error: a byte that is half there would be a guess.
struct HexDecoding {
  std::string bytes;
  bool ok = true;
  HexTextError error{};
};
HexDecoding DecodeHexText(std::string_view text);

// The bytes a hexadecimal text spells, read as DecodeHexText reads it; the empty string for a
// text with an odd number of digits or a character other than digits and skipped blanks.
std::string DecodingFromHexZuv(std::string_view s);

// Sets count bytes of block from offset to the low byte of value. A negative offset or count
// changes nothing, and the range is clipped to the block.
void FillBytesZuv(fw::MemoryBlock& block, int32_t offset, int32_t count, int32_t value);
