#include "identity_texts.h"

#include "text_file.h"

namespace os::hid {
namespace {

// "0003:00001234:00005678": bus, vendor, product in hex.
void readHidId(std::string_view hidId, DeviceIdentity& identity) {
  const std::size_t first = hidId.find(':');
  const std::size_t second = first == std::string_view::npos ? first : hidId.find(':', first + 1);
  if (second == std::string_view::npos) return;
  identity.vendorId = text::parseHex(hidId.substr(first + 1, second - first - 1));
  identity.productId = text::parseHex(hidId.substr(second + 1));
}

std::optional<std::string> textProperty(const Properties& properties, std::string_view key) {
  const auto value = properties.find(key);
  return value != properties.end() ? std::optional<std::string>(value->second) : std::nullopt;
}

}  // namespace

DeviceIdentity ueventIdentity(std::string_view uevent) {
  DeviceIdentity identity;
  const Properties values = text::parseKeyValueLines(uevent);
  if (const auto hidId = values.find("HID_ID"); hidId != values.end()) readHidId(hidId->second, identity);
  // An empty name or unique id means the device does not tell it.
  if (const auto name = values.find("HID_NAME"); name != values.end() && !name->second.empty()) {
    identity.product = name->second;
  }
  if (const auto unique = values.find("HID_UNIQ"); unique != values.end() && !unique->second.empty()) {
    identity.serialNumber = unique->second;
  }
  return identity;
}

DeviceIdentity propsIdentity(const Properties& properties) {
  DeviceIdentity identity;
  identity.vendorId = numberProperty(properties, "VendorID");
  identity.productId = numberProperty(properties, "ProductID");
  identity.versionNumber = numberProperty(properties, "VersionNumber");
  identity.manufacturer = textProperty(properties, "Manufacturer");
  identity.product = textProperty(properties, "Product");
  identity.serialNumber = textProperty(properties, "SerialNumber");
  return identity;
}

std::optional<std::int64_t> numberProperty(const Properties& properties, std::string_view key) {
  const auto value = properties.find(key);
  return value != properties.end() ? text::parseDecimal(value->second) : std::nullopt;
}

}  // namespace os::hid
