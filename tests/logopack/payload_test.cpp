#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "hex_test_support.h"
#include "logopack/payload.h"
#include "update_payload.h"

namespace logopack {
namespace {

UpdateFields demoFields() {
  return UpdateFields{"maker note", "1.0", "Demo", 0x1234, 0x5678, FirmwareImage{{{0x800, {0xDE, 0xAD}}}}};
}

TEST(Payload, SixFieldsWithTheIdsInDecimalAndTheFirmwareInTheLoadersForm) {
  auto text = buildPayloadText(demoFields());
  ASSERT_TRUE(text) << text.error().message;
  EXPECT_EQ(std::count(text.value().begin(), text.value().end(), '$'), 5);
  EXPECT_TRUE(text.value().starts_with("maker note$1.0$Demo$4660$22136$:")) << text.value();
  const std::string firmware = splitPayloadText(text.value()).firmwareHex;
  EXPECT_TRUE(test::HasLoaderForm(firmware));
  EXPECT_EQ(test::LoaderBytes(firmware), (test::ByteMap{{0x800, 0xDE}, {0x801, 0xAD}}));

  // Stored, every byte is combined with the key the updater undoes.
  const auto key = static_cast<std::uint8_t>(UpdatePayload::kKey[0]);
  const auto stored = scramblePayload("A$");
  EXPECT_EQ(stored, (std::vector<std::uint8_t>{static_cast<std::uint8_t>('A' ^ key),
                                               static_cast<std::uint8_t>('$' ^ key)}));
  EXPECT_EQ(unscramblePayload(stored), "A$");
}

TEST(Payload, RefusesWhatWouldBreakTheFieldsOrTheUpdate) {
  struct Case {
    void (*spoil)(UpdateFields&);
    ErrorCode code;
    std::string words;
  };
  const Case cases[] = {
      {[](UpdateFields& f) { f.first = "a$b"; }, ErrorCode::InvalidField, "first field \"a$b\" holds \"$\""},
      {[](UpdateFields& f) { f.version = "1$0"; }, ErrorCode::InvalidField, "version \"1$0\" holds \"$\""},
      {[](UpdateFields& f) { f.title = "$"; }, ErrorCode::InvalidField, "title \"$\" holds \"$\""},
      {[](UpdateFields& f) { f.version.clear(); }, ErrorCode::InvalidField, "Application is not complete."},
      {[](UpdateFields& f) { f.firmware = {}; }, ErrorCode::EmptyFirmware, "the firmware holds no data"},
  };
  for (const Case& c : cases) {
    UpdateFields fields = demoFields();
    c.spoil(fields);
    auto text = buildPayloadText(fields);
    ASSERT_FALSE(text) << c.words;
    EXPECT_EQ(text.error().code, c.code);
    EXPECT_NE(text.error().message.find(c.words), std::string::npos) << text.error().message;
  }
}

TEST(Payload, UsbIdsTakeDecimalOrHexUpTo65535) {
  const std::pair<std::string, std::uint16_t> good[] = {{"0", 0}, {"4660", 0x1234}, {"0XabCD", 0xABCD}, {"65535", 0xFFFF}};
  for (const auto& [text, value] : good) {
    auto id = parseUsbId(text);
    ASSERT_TRUE(id) << text << ": " << id.error().message;
    EXPECT_EQ(id.value(), value) << text;
  }
  for (const std::string bad : {"65536", "0x10000", "99999999999999999999", "-1", "", "0x", "12a", "+5"}) {
    auto id = parseUsbId(bad);
    ASSERT_FALSE(id) << bad;
    EXPECT_EQ(id.error().code, ErrorCode::InvalidValue) << bad;
  }
}

}  // namespace
}  // namespace logopack
