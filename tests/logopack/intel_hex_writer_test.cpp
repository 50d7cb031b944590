#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hex_test_support.h"
#include "logopack/intel_hex_writer.h"

namespace logopack {
namespace {

TEST(IntelHexWriter, WritesTheLoadersFormWithTheSameBytes) {
  // Starts off a 16-byte boundary, runs across 64 KiB, and sits high in the address space.
  const FirmwareImage image{{{0x805, test::SampleBytes(30, 1)},
                             {0xFFF0, test::SampleBytes(40, 2)},
                             {0x12345678, test::SampleBytes(3, 3)}}};
  const std::string text = writeLoaderHex(image);
  ASSERT_TRUE(test::HasLoaderForm(text)) << text;

  test::ByteMap expected;
  for (const Segment& segment : image.segments) test::AddBytes(expected, segment.address, segment.bytes);
  EXPECT_EQ(test::LoaderBytes(text), expected);

  std::vector<std::string> upperAddresses;
  for (std::size_t at = text.find(':'); at != std::string::npos; at = text.find(':', at + 1)) {
    const unsigned count = std::stoul(text.substr(at + 1, 2), nullptr, 16);
    const unsigned offset = std::stoul(text.substr(at + 3, 4), nullptr, 16);
    if (text.compare(at + 7, 2, "04") == 0) upperAddresses.push_back(text.substr(at + 9, 4));
    EXPECT_LE(offset % 16 + count, 16u) << "crosses a 16-byte boundary: " << text.substr(at, 20);
  }
  EXPECT_EQ(upperAddresses, (std::vector<std::string>{"0000", "0001", "1234"}));
}

}  // namespace
}  // namespace logopack
