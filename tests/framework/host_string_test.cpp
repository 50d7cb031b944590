#include <gtest/gtest.h>

#include <string>

#include "host_string.h"
#include "memory_block.h"
#include "text_encoding.h"

namespace {

TEST(FrameworkHostString, RecordLayoutIsWhatPluginsRead) {
  REALstring s = fw::NewHostString("abc", kEncodingUTF8);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->refCount, 1u);
  EXPECT_EQ(s->length, 3u);
  EXPECT_EQ(s->text[0], 3);  // the length byte a plug-in skips
  EXPECT_EQ(std::string(reinterpret_cast<char*>(s->text + 1), s->length), "abc");
  fw::ReleaseHostString(s);
}

TEST(FrameworkHostString, LiveCountFollowsReferences) {
  const size_t before = fw::LiveHostStrings();
  REALstring s = fw::NewHostString("x", kEncodingUnknown);
  fw::RetainHostString(s);
  fw::ReleaseHostString(s);
  EXPECT_EQ(fw::LiveHostStrings(), before + 1);
  fw::ReleaseHostString(s);
  EXPECT_EQ(fw::LiveHostStrings(), before);
  fw::ReleaseHostString(nullptr);  // nil is the empty string, nothing to release
}

TEST(FrameworkHostString, EmptyProgramStringCrossesAsNil) {
  EXPECT_EQ(fw::HostStringFrom(""), nullptr);
  EXPECT_EQ(fw::AdoptHostString(nullptr), "");
  std::string zeros("\0\x01\0", 3);
  EXPECT_EQ(fw::AdoptHostString(fw::HostStringFrom(zeros)), zeros);
}

TEST(FrameworkTextEncoding, Utf16AndUtf32BecomeUtf8) {
  const std::u16string text16 = u"Ger\u00e4t \U0001F600";
  const std::string bytes16(reinterpret_cast<const char*>(text16.data()), text16.size() * 2);
  EXPECT_EQ(fw::Utf16ToUtf8(bytes16), "Ger\xC3\xA4t \xF0\x9F\x98\x80");
  const std::u32string text32 = U"\u00e4";
  EXPECT_EQ(fw::Utf32ToUtf8({reinterpret_cast<const char*>(text32.data()), 4}), "\xC3\xA4");
}

TEST(FrameworkTextEncoding, MalformedUnitsBecomeReplacementCharacters) {
  const char16_t loneSurrogate = 0xD800;
  EXPECT_EQ(fw::Utf16ToUtf8({reinterpret_cast<const char*>(&loneSurrogate), 2}), "\xEF\xBF\xBD");
  EXPECT_EQ(fw::Utf16ToUtf8("A"), "\xEF\xBF\xBD");  // an odd byte count
  const char32_t tooLarge = 0x110000;
  EXPECT_EQ(fw::Utf32ToUtf8({reinterpret_cast<const char*>(&tooLarge), 4}), "\xEF\xBF\xBD");
  EXPECT_FALSE(fw::ConvertText("a", kEncodingUTF8, kEncodingUTF16).has_value());
}

TEST(FrameworkMemoryBlock, NewBlockIsZeroAndAccessorsFollowByteOrder) {
  auto block = fw::NewMemoryBlock(8);
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(block->UInt8Value(i), 0);
  block->SetUInt32Value(1, 0x11223344);
  EXPECT_EQ(block->UInt8Value(1), 0x44);
  EXPECT_EQ(block->UInt8Value(4), 0x11);
  block->LittleEndian = false;
  EXPECT_EQ(block->UInt32Value(1), 0x44332211u);
  block->SetInt32Value(4, -2);
  EXPECT_EQ(block->Int32Value(4), -2);
  EXPECT_EQ(block->UInt8Value(7), 0xFE);
}

TEST(FrameworkMemoryBlock, AccessOutsideTheBlockNeverReachesPastIt) {
  auto block = fw::NewMemoryBlock(4);
  block->SetUInt8Value(4, 1);
  block->SetUInt32Value(1, 0xFFFFFFFF);  // would end one byte past the block
  block->SetStringValue(2, 10, "abcdef");
  EXPECT_EQ(block->ToString(), std::string("\0\0ab", 4));
  EXPECT_EQ(block->UInt8Value(100), 0);
  EXPECT_EQ(block->UInt32Value(SIZE_MAX - 1), 0u);
  EXPECT_EQ(block->StringValue(3, SIZE_MAX), "b");
  EXPECT_EQ(block->StringValue(9, 1), "");
  block->Fill(1, SIZE_MAX, 0xFF);
  EXPECT_EQ(block->ToString(), std::string("\0\xFF\xFF\xFF", 4));
}

}  // namespace
