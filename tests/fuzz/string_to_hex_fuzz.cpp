// HID::StringToHex, which reads every field of an Intel HEX record: the hexadecimal digits at
// the start of a text, as a 32-bit Integer. Checked against the exact value, as long as a
// Double holds it exactly (13 digits).
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_support.h"
#include "hid.h"
#include "text_functions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietProcess();
  const fuzz::StrayAccessGuard guard;
  const std::span<const uint8_t> bytes(data, size);
  const std::string text(bytes.begin(), bytes.end());

  const int32_t value = HID::StringToHex(text);
  uint64_t exact = 0;
  size_t digits = 0;
  for (char c : text) {
    const int digit = fw::HexDigitValue(c);
    if (digit < 0) break;
    exact = exact << 4 | static_cast<uint64_t>(digit);
    if (++digits > 13) break;
  }
  if (digits <= 13) {
    fuzz::Check(value == static_cast<int32_t>(static_cast<uint32_t>(exact)), "not the value of the digits");
  }
  // A field is read by its first digits: what follows a character that is no digit is not read.
  fuzz::Check(HID::StringToHex(text + "g1") == value, "read past the digits");
  return 0;
}
