// The framework's number and text conversions, as the program uses them: Str (decimal
// text), Hex (hexadecimal text, upper-case digits, no prefix, no leading zeros), Val (the
// number a text begins with) and the conversion of a Double to the 32-bit Integer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fw {

// The platform's line end.
inline const std::string EndOfLine = "\n";

std::string Str(int64_t n);

namespace detail {
inline constexpr auto kHexDigitValues = [] {
  std::array<int8_t, 256> values{};
  for (int c = 0; c < 256; ++c) {
    values[static_cast<size_t>(c)] = static_cast<int8_t>(c >= '0' && c <= '9'   ? c - '0'
                                                         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                         : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                                : -1);
  }
  return values;
}();
}  // namespace detail

// The value of one hexadecimal digit of either case, or -1 for any other character. Inline,
// from a table: the firmware loader reads two of these for every byte of a firmware.
constexpr int HexDigitValue(char c) { return detail::kHexDigitValues[static_cast<unsigned char>(c)]; }

// The 32 bits of n as hexadecimal: Hex(255) is "FF", Hex(-1) is "FFFFFFFF". A byte passed
// here gives at most two digits.
std::string Hex(int32_t n);

// The number text begins with, as a Double; 0 when it begins with none. Leading blanks are
// skipped. Decimal text may carry a sign, a fraction and an exponent ("-1.5e3"); "&h" (either
// case) followed by hexadecimal digits of either case reads as a hexadecimal number, and
// "&h" alone as 0. Reading stops at the first character that does not belong to the number.
double Val(std::string_view text);
// The hexadecimal digits text begins with (either case), as Val reads them after "&h".
double HexadecimalValue(std::string_view text);

// Length of text in characters (UTF-8; a byte that starts no valid character counts as one)
// and in bytes.
int64_t Len(std::string_view text);
inline int64_t LenB(std::string_view text) { return static_cast<int64_t>(text.size()); }

// Field n (counted from 1) of text split at every occurrence of separator, byte-wise; empty
// when text has fewer fields, when n is below 1 or the separator is empty.
std::string NthFieldB(std::string_view text, std::string_view separator, int64_t n);

// A Double as the 32-bit Integer it is assigned to: the fraction is cut off, values outside
// the 32-bit range wrap around (so Val("&hFFFFFFFF") gives -1), and NaN or infinities give 0.
int32_t IntegerFromDouble(double value);

// Val("&h" + text) as a 32-bit Integer, without building the text: the firmware loader reads
// every field of a firmware so.
int32_t IntegerFromHex(std::string_view text);

// Whether a text shown may go on over several lines (a message) or must stay on one (a title,
// a window's text, a field of a listing).
enum class LineEnds { Keep, Escape };

// The text as a terminal may show it: every byte that is not part of printable UTF-8 text as
// a visible escape, "\x1b" for ESC. Escaped are the C0 and C1 control characters (U+009B is a
// terminal's CSI as much as ESC [ is), DEL, the line and paragraph separators, the controls
// that reorder right-to-left text, and every byte that starts no well-formed UTF-8 character
// (texts from outside, such as the update's title and version, are bytes as they came). With
// LineEnds::Keep, LF, the platform's line end, stays.
std::string EscapeControlCharacters(std::string_view text, LineEnds lineEnds);

}  // namespace fw
