#include "text_functions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace fw {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The length of the well-formed UTF-8 character text begins with, and that character; 0 when
// it begins with none: a stray continuation byte, a sequence cut short, an overlong form, a
// surrogate or a code point past U+10FFFF.
size_t Utf8SequenceLength(std::string_view text, char32_t& character) {
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = 0;
  char32_t smallest = 0;
  if (lead < 0x80) {
    character = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2, smallest = 0x80, character = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, smallest = 0x800, character = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, smallest = 0x10000, character = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[k]);
    if ((next & 0xC0) != 0x80) return 0;
    character = character << 6 | (next & 0x3Fu);
  }
  const bool surrogate = character >= 0xD800 && character <= 0xDFFF;
  return character < smallest || character > 0x10FFFF || surrogate ? 0 : length;
}

// Whether a terminal shows the character as text rather than acting on it: not a C0 or C1
// control, not DEL, not the line and paragraph separators (a text shown on one line keeps to
// it), and not one of the controls that reorder how a line reads where a terminal lays out
// right-to-left text (embeddings, overrides, isolates).
bool IsPrintable(char32_t c) {
  const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
  const bool separator = c == 0x2028 || c == 0x2029;
  const bool bidiControl = (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
  return !control && !separator && !bidiControl;
}

// The length of the decimal number at the start of text: sign, digits, fraction, exponent.
size_t DecimalLength(std::string_view text) {
  size_t i = 0;
  auto skipDigits = [&] {
    const size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i - start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = skipDigits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    digits += skipDigits();
  }
  if (digits == 0) return 0;
  const size_t mantissaEnd = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (skipDigits() == 0) return mantissaEnd;  // "1e" is the number 1 followed by text
  }
  return i;
}

}  // namespace

std::string Str(int64_t n) { return std::to_string(n); }

std::string Hex(int32_t n) {
  char digits[8];
  const auto result = std::to_chars(std::begin(digits), std::end(digits),
                                    static_cast<uint32_t>(n), 16);
  std::string text(digits, result.ptr);
  for (char& c : text) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

double Val(std::string_view text) {
  const size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return 0;
  text.remove_prefix(start);
  if (text.size() >= 2 && text[0] == '&' && (text[1] == 'h' || text[1] == 'H')) {
    return HexadecimalValue(text.substr(2));
  }
  const size_t length = DecimalLength(text);
  if (length == 0) return 0;
  // from_chars takes no leading '+'.
  const size_t signLength = text[0] == '+' ? 1 : 0;
  double value = 0;
  const auto result = std::from_chars(text.data() + signLength, text.data() + length, value);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone; strtod gives the infinity or the zero it is.
    value = std::strtod(std::string(text.substr(0, length)).c_str(), nullptr);
  }
  return value;
}

int32_t IntegerFromDouble(double value) {
  if (!std::isfinite(value)) return 0;
  // Most values fit as they are; only the others need the wrap, which costs far more.
  if (value > -2147483649.0 && value < 2147483648.0) return static_cast<int32_t>(value);
  constexpr double kWrap = 4294967296.0;  // 2^32
  double wrapped = std::fmod(std::trunc(value), kWrap);
  if (wrapped < 0) wrapped += kWrap;
  return static_cast<int32_t>(static_cast<uint32_t>(wrapped));
}

double HexadecimalValue(std::string_view digits) {
  double value = 0;
  for (char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

// Up to eight digits are exact in 32 bits; a longer number goes Val's way.
int32_t IntegerFromHex(std::string_view text) {
  uint32_t value = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const int digit = HexDigitValue(text[i]);
    if (digit < 0) break;
    if (i == 8) return IntegerFromDouble(HexadecimalValue(text));
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(value);
}

int64_t Len(std::string_view text) {
  int64_t characters = 0;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
    size_t taken = 1;
    while (taken < length && i + taken < text.size() &&
           (static_cast<unsigned char>(text[i + taken]) & 0xC0) == 0x80) {
      ++taken;
    }
    // A character cut short counts its lead byte alone; the rest count on their own.
    i += taken == length ? length : 1;
    ++characters;
  }
  return characters;
}

std::string NthFieldB(std::string_view text, std::string_view separator, int64_t n) {
  if (n < 1 || separator.empty()) return {};
  size_t start = 0;
  for (int64_t field = 1; field < n; ++field) {
    const size_t found = text.find(separator, start);
    if (found == std::string_view::npos) return {};
    start = found + separator.size();
  }
  const size_t end = text.find(separator, start);
  return std::string(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

std::string EscapeControlCharacters(std::string_view text, LineEnds lineEnds) {
  constexpr std::string_view kDigits = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char32_t character = 0;
    const size_t length = Utf8SequenceLength(text.substr(i), character);
    const bool keptLineEnd = character == '\n' && lineEnds == LineEnds::Keep;
    if (length > 0 && (keptLineEnd || IsPrintable(character))) {
      shown += text.substr(i, length);
      i += length;
      continue;
    }
    // A character that is no text, or a byte that starts no valid character: each of its
    // bytes as an escape, the rest of a broken sequence taken on its own.
    for (const size_t end = i + std::max<size_t>(length, 1); i < end; ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      shown += "\\x";
      shown += kDigits[byte >> 4];
      shown += kDigits[byte & 0xF];
    }
  }
  return shown;
}

}  // namespace fw
