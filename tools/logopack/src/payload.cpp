#include "logopack/payload.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <utility>

#include "logopack/intel_hex_writer.h"
#include "update_payload.h"

namespace logopack {

namespace {

constexpr std::uint8_t kKey = static_cast<std::uint8_t>(UpdatePayload::kKey[0]);
static_assert(UpdatePayload::kKey.size() == 1, "the payload key is one byte");

std::optional<Error> refuseSeparator(std::string_view name, std::string_view value) {
  if (value.find(UpdatePayload::kFieldSeparator) == std::string_view::npos) return std::nullopt;
  return Error{ErrorCode::InvalidField, std::string(name) + " \"" + std::string(value) + "\" holds \"" +
                                           UpdatePayload::kFieldSeparator +
                                           "\", which separates the payload's fields"};
}

}  // namespace

std::optional<Error> checkTextFields(std::string_view first, std::string_view version, std::string_view title) {
  for (const auto& [name, value] : {std::pair<std::string_view, std::string_view>{"first field", first},
                                    {"version", version},
                                    {"title", title}}) {
    if (auto refused = refuseSeparator(name, value)) return *refused;
  }
  if (version.empty()) {
    return Error{ErrorCode::InvalidField,
                 "the version is empty: the updater would refuse the update as \"Application is not complete.\""};
  }
  return std::nullopt;
}

Result<std::string> buildPayloadText(const UpdateFields& fields) {
  if (auto refused = checkTextFields(fields.first, fields.version, fields.title)) return *refused;
  if (fields.firmware.empty()) {
    return Error{ErrorCode::EmptyFirmware, "the firmware holds no data: the updater would install nothing"};
  }

  std::array<std::string, UpdatePayload::kFieldCount> texts;
  texts[UpdatePayload::kUnusedField - 1] = fields.first;
  texts[UpdatePayload::kVersionField - 1] = fields.version;
  texts[UpdatePayload::kTitleField - 1] = fields.title;
  texts[UpdatePayload::kVendorIdField - 1] = std::to_string(fields.vendorId);
  texts[UpdatePayload::kProductIdField - 1] = std::to_string(fields.productId);
  texts[UpdatePayload::kFirmwareField - 1] = writeLoaderHex(fields.firmware);

  std::string text = texts[0];
  for (std::size_t i = 1; i < texts.size(); ++i) text += UpdatePayload::kFieldSeparator + texts[i];
  return text;
}

PayloadFields splitPayloadText(std::string_view text) {
  std::array<std::string, UpdatePayload::kFieldCount> texts;
  for (auto& field : texts) {
    const std::size_t separator = text.find(UpdatePayload::kFieldSeparator);
    field = text.substr(0, separator);
    if (separator == std::string_view::npos) break;
    text.remove_prefix(separator + 1);
  }
  return PayloadFields{texts[UpdatePayload::kUnusedField - 1],     texts[UpdatePayload::kVersionField - 1],
                       texts[UpdatePayload::kTitleField - 1],      texts[UpdatePayload::kVendorIdField - 1],
                       texts[UpdatePayload::kProductIdField - 1], texts[UpdatePayload::kFirmwareField - 1]};
}

std::vector<std::uint8_t> scramblePayload(std::string_view text) {
  std::vector<std::uint8_t> stored(text.size());
  std::transform(text.begin(), text.end(), stored.begin(),
                 [](char c) { return static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) ^ kKey); });
  return stored;
}

std::string unscramblePayload(std::span<const std::uint8_t> stored) {
  std::string text(stored.size(), '\0');
  std::transform(stored.begin(), stored.end(), text.begin(),
                 [](std::uint8_t byte) { return static_cast<char>(byte ^ kKey); });
  return text;
}

Result<std::uint16_t> parseUsbId(std::string_view text) {
  const std::string_view given = text;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint32_t value = 0;
  auto [stop, status] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || status == std::errc::invalid_argument || stop != text.data() + text.size()) {
    return Error{ErrorCode::InvalidValue, "\"" + std::string(given) + "\" is not a number (decimal or 0x hex)"};
  }
  if (status == std::errc::result_out_of_range || value > 0xFFFF) {
    return Error{ErrorCode::InvalidValue, "\"" + std::string(given) + "\" is out of range (0 to 65535)"};
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace logopack
