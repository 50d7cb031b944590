#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logopack/command_line.h"

namespace logopack {
namespace {

Result<Command> parse(std::vector<std::string_view> args) { return parseCommandLine(args); }

TEST(LogopackCommandLine, PackAndList) {
  auto pack = parse({"--hex", "fw.hex", "--version", "1.0", "--title", "Demo", "--vid", "0x1234", "--pid=22136",
                     "--out", "logo.jpg", "--first", "note", "--picture", "in.jpg"});
  ASSERT_TRUE(pack) << pack.error().message;
  const auto& request = std::get<PackRequest>(pack.value());
  EXPECT_EQ(request.hexFile, "fw.hex");
  EXPECT_EQ(request.pictureFile, "in.jpg");
  EXPECT_EQ(request.outFile, "logo.jpg");
  EXPECT_EQ(request.first, "note");
  EXPECT_EQ(request.version, "1.0");
  EXPECT_EQ(request.title, "Demo");
  EXPECT_EQ(request.vendorId, 0x1234);
  EXPECT_EQ(request.productId, 0x5678);

  auto list = parse({"--list", "logo.jpg"});
  ASSERT_TRUE(list) << list.error().message;
  EXPECT_EQ(std::get<ListRequest>(list.value()).logoFile, "logo.jpg");
}

TEST(LogopackCommandLine, ProblemsAreUsageErrorsNamingTheOption) {
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
      {{"--bogus"}, "unknown option \"--bogus\""},
      {{"--title", "A", "--title", "B"}, "--title is given more than once"},
      {{"--list"}, "--list needs a value"},
      {{"--list", "a.jpg", "--out", "b.jpg"}, "--list takes no other option"},
      {{"--hex", "fw.hex"}, "--version is required"},
      {{"--pid", "0x12G4"}, "--pid: \"0x12G4\" is not a number"},
      {{"--hex", ""}, "--hex: needs a file name"},
  };
  for (const auto& [args, words] : cases) {
    auto parsed = parse(args);
    ASSERT_FALSE(parsed) << words;
    EXPECT_TRUE(isUsageError(parsed.error().code)) << parsed.error().message;
    EXPECT_NE(parsed.error().message.find(words), std::string::npos) << parsed.error().message;
  }
}

}  // namespace
}  // namespace logopack
