// fw::Val, the number a text begins with (the payload's ids, the console's addresses, every
// hexadecimal field through StringToHex); IntegerFromDouble, which turns it into a 32-bit
// Integer; and IdFromText, which turns the payload's id fields into ids. The first eight bytes
// are also taken as a Double of any bits, NaN and the infinities among them.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "fuzz_support.h"
#include "text_functions.h"
#include "update_payload.h"

namespace {

using fuzz::Check;

void CheckInteger(double value) {
  const int32_t integer = fw::IntegerFromDouble(value);
  if (std::isfinite(value) && std::trunc(value) >= INT32_MIN && std::trunc(value) <= INT32_MAX) {
    Check(integer == static_cast<int32_t>(std::trunc(value)), "a Double in range not cut to its Integer");
  }
  if (!std::isfinite(value)) Check(integer == 0, "NaN or an infinity not 0");
}

// The debug console takes an address typed as "&h" and up to eight significant hexadecimal
// digits, or as decimal digits with an optional minus from -2^31 to 2^32 - 1; Val and
// IntegerFromDouble must then give exactly its 32 bits.
void CheckAddress(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '&' && (text[1] == 'h' || text[1] == 'H');
  const std::string_view digits = std::string_view(text).substr(hex ? 2 : text.starts_with('-') ? 1 : 0);
  if (digits.empty() || digits.size() > 40) return;
  uint64_t magnitude = 0;
  for (char c : digits) {
    const int digit = hex ? fw::HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFull + 1) return;
  }
  const bool negative = !hex && text.starts_with('-');
  if (magnitude > (negative ? 0x80000000ull : 0xFFFFFFFFull)) return;
  const auto bits = static_cast<uint32_t>(negative ? 0 - magnitude : magnitude);
  Check(fw::IntegerFromDouble(fw::Val(text)) == static_cast<int32_t>(bits), "an address not read as its 32 bits");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietProcess();
  const fuzz::StrayAccessGuard guard;
  const std::span<const uint8_t> bytes(data, size);
  const std::string text(bytes.begin(), bytes.end());

  const double value = fw::Val(text);
  Check(!std::isnan(value), "Val gave NaN");
  // Reading stops at a character that belongs to no number, and leading blanks are skipped.
  Check(fw::Val(text + "z") == value, "Val read past its number");
  Check(fw::Val(" \t" + text) == value, "Val did not skip leading blanks");
  CheckInteger(value);
  CheckAddress(text);

  const int32_t id = UpdatePayload::IdFromText(text);
  const double cut = std::trunc(value);
  if (cut <= INT32_MIN) {
    Check(id == INT32_MIN, "an id below the range not its lowest");
  } else if (cut >= INT32_MAX) {
    Check(id == INT32_MAX, "an id above the range not its highest");
  } else {
    Check(id == static_cast<int32_t>(cut), "an id not the number's whole part");
  }

  fuzz::FuzzInput in(bytes);
  CheckInteger(std::bit_cast<double>(in.Integral<uint64_t>()));
  (void)fw::Str(in.Integral<int64_t>());
  (void)fw::Hex(in.Integral<int32_t>());
  (void)fw::Len(text);
  return 0;
}
