#include "text_functions.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace fw {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }


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
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool control = byte < 0x20 || byte == 0x7F;
    if (!control || (c == '\n' && lineEnds == LineEnds::Keep)) {
      shown += c;
    } else {
      shown += "\\x";
      shown += kDigits[byte >> 4];
      shown += kDigits[byte & 0xF];
    }
  }
  return shown;
}

}  // namespace fw
