// The console's hexadecimal texts: DecodeHexText and DecodingFromHexZuv over any text, and
// EncodingToHexZuv, whose text the console decodes again, over any bytes. StringXORZuv,
// the payload's other helper, rides along.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "fuzz_support.h"
#include "text_functions.h"
#include "zuv_utilities.h"

namespace {

using fuzz::Check;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietProcess();
  const fuzz::StrayAccessGuard guard;
  const std::span<const uint8_t> bytes(data, size);
  const std::string text(bytes.begin(), bytes.end());

  // The input as text.
  size_t digits = 0;
  for (char c : text) digits += fw::HexDigitValue(c) >= 0 ? 1 : 0;
  const HexDecoding decoding = DecodeHexText(text);
  if (decoding.ok) {
    Check(2 * decoding.bytes.size() == digits, "decoded bytes and digits disagree");
    Check(DecodeHexText(EncodingToHexZuv(decoding.bytes)).bytes == decoding.bytes, "decode, encode, decode");
  } else {
    Check(decoding.error.offset < text.size(), "an error offset past the text");
    const char at = text[decoding.error.offset];
    if (decoding.error.code == HexTextError::Code::InvalidCharacter) {
      Check(fw::HexDigitValue(at) < 0 && !IsBlank(at), "an invalid character that is valid");
    } else {
      Check(fw::HexDigitValue(at) >= 0 && digits % 2 == 1, "an odd digit count that is not odd");
    }
    Check(!decoding.error.message.empty(), "an error without words");
  }
  Check(DecodingFromHexZuv(text) == (decoding.ok ? decoding.bytes : std::string()), "the two decoders disagree");

  // The input as bytes.
  const std::string encoded = EncodingToHexZuv(text);
  Check(encoded.size() == 2 * text.size(), "encoded length");
  Check(DecodingFromHexZuv(encoded) == text, "encode, decode");

  // XOR with a key from the input's first byte: twice gives the text back.
  const std::string key = text.substr(0, 1);
  const std::string combined = StringXORZuv(text, key);
  Check(combined.size() == text.size(), "XOR changed the length");
  Check(StringXORZuv(combined, key) == text, "XOR twice");
  return 0;
}
