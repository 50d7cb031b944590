// The string and byte-buffer utilities: XOR with a key, hexadecimal text both ways, filling.
#include <gtest/gtest.h>

#include <string>

#include "memory_block.h"
#include "zuv_utilities.h"

namespace {

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  return bytes;
}

TEST(ProtocolUtilities, XorWithOneByteKeyIsItsOwnInverse) {
  const std::string plain = "1$V1.0$Title$4660$22136$:00000001FF\r\n";
  const std::string hidden = StringXORZuv(plain, "K");
  ASSERT_EQ(hidden.size(), plain.size());
  EXPECT_EQ(static_cast<uint8_t>(hidden[0]), '1' ^ 'K');
  EXPECT_EQ(StringXORZuv(hidden, "K"), plain);
}

TEST(ProtocolUtilities, XorKeepsLengthWithEmbeddedZerosAndRepeatsLongerKeys) {
  const std::string data("\x00\x01\x00\xFF", 4);
  EXPECT_EQ(StringXORZuv(data, std::string(1, '\0')), data);
  EXPECT_EQ(StringXORZuv(data, ""), data);
  EXPECT_EQ(StringXORZuv(data, "\x01\x02"), std::string("\x01\x03\x01\xFD", 4));
}

TEST(ProtocolUtilities, HexTextIsUpperCaseWithoutSeparators) {
  EXPECT_EQ(EncodingToHexZuv(std::string("\x00\x0A\xAB\xFF", 4)), "000AABFF");
  EXPECT_EQ(EncodingToHexZuv(""), "");
  const std::string all = EncodingToHexZuv(AllBytes());
  EXPECT_EQ(all.size(), 512u);
  EXPECT_EQ(all.substr(0, 6), "000102");
  EXPECT_EQ(all.substr(506), "FDFEFF");
}

TEST(ProtocolUtilities, DecodingReadsBackWhatEncodingWrote) {
  EXPECT_EQ(DecodingFromHexZuv(EncodingToHexZuv(AllBytes())), AllBytes());
  EXPECT_EQ(DecodingFromHexZuv(""), "");
}

TEST(ProtocolUtilities, DecodingAcceptsEitherCaseAndBlanks) {
  const std::string expected("\x0A\xBC\xDE\xF0", 4);
  EXPECT_EQ(DecodingFromHexZuv("0abcdef0"), expected);
  EXPECT_EQ(DecodingFromHexZuv("0A BC de\tF0\r\n"), expected);
  EXPECT_EQ(DecodingFromHexZuv(" 0 A B C D E F 0 "), expected);
}

TEST(ProtocolUtilities, OddOrInvalidTextDecodesToNothingWithTheReason) {
  EXPECT_EQ(DecodingFromHexZuv("ABC"), "");
  EXPECT_EQ(DecodingFromHexZuv("0x12"), "");
  EXPECT_EQ(DecodingFromHexZuv("12,34"), "");

  const HexDecoding odd = DecodeHexText("AB C");
  EXPECT_FALSE(odd.ok);
  EXPECT_EQ(odd.error.code, HexTextError::Code::OddDigitCount);
  EXPECT_EQ(odd.error.offset, 3u);
  EXPECT_EQ(odd.error.message, "The last hexadecimal digit (position 4) has no partner.");

  const HexDecoding invalid = DecodeHexText("12 G4");
  EXPECT_FALSE(invalid.ok);
  EXPECT_EQ(invalid.error.code, HexTextError::Code::InvalidCharacter);
  EXPECT_EQ(invalid.error.offset, 3u);
  EXPECT_EQ(invalid.error.message, "Not a hexadecimal digit at position 4.");
}

TEST(ProtocolUtilities, FillSetsExactlyTheRangeAndStaysInsideTheBlock) {
  fw::MemoryBlock image(110);
  FillBytesZuv(image, 0, 100, 255);
  for (size_t i = 0; i < 110; ++i) EXPECT_EQ(image.UInt8Value(i), i < 100 ? 255 : 0) << i;

  fw::MemoryBlock block(8);
  FillBytesZuv(block, 6, 100, 0x1AB);  // clipped at the end; the value's low byte
  EXPECT_EQ(block.UInt8Value(5), 0);
  EXPECT_EQ(block.UInt8Value(6), 0xAB);
  EXPECT_EQ(block.UInt8Value(7), 0xAB);
  FillBytesZuv(block, -1, 4, 1);
  FillBytesZuv(block, 0, -4, 1);
  FillBytesZuv(block, 9, 1, 1);
  EXPECT_EQ(block.UInt8Value(0), 0);
}

}  // namespace
