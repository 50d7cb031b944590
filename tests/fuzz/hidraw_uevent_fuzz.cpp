// A hidraw node's identity from its sysfs uevent text: KEY=VALUE lines, HID_ID with the
// vendor and product in hex, HID_NAME and HID_UNIQ. Whatever the text, the identity's
// strings become valid UTF-8 on their way to the program.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "fuzz_check.h"
#include "identity_checks.h"
#include "identity_texts.h"
#include "text_file.h"

namespace {

using fuzz::Check;
using fuzz::CheckIdentityText;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const std::string text(bytes.begin(), bytes.end());

  for (const auto& [key, value] : os::text::parseKeyValueLines(text)) {
    Check(key.find('=') == std::string::npos && key.find('\n') == std::string::npos, "a key with '=' or a line end");
    Check(value.find('\n') == std::string::npos, "a value with a line end");
  }
  const os::hid::DeviceIdentity identity = os::hid::ueventIdentity(text);

  Check(!identity.vendorId || *identity.vendorId >= 0, "a negative vendor id from hex digits");
  Check(!identity.productId || *identity.productId >= 0, "a negative product id from hex digits");
  Check(!identity.product || !identity.product->empty(), "an empty name told as a name");
  Check(!identity.serialNumber || !identity.serialNumber->empty(), "an empty unique id told as a serial");
  CheckIdentityText(identity.product);
  CheckIdentityText(identity.serialNumber);
  return 0;
}
