// A virtual device's props file: KEY=VALUE lines, the ids and the simulator's process id in
// decimal, the strings as they stand. Whatever the text, the identity's strings become valid
// UTF-8 on their way to the program.
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

  const os::hid::Properties properties = os::text::parseKeyValueLines(text);
  const os::hid::DeviceIdentity identity = os::hid::propsIdentity(properties);
  (void)os::hid::numberProperty(properties, "Pid");
  Check(identity.vendorId.has_value() == (properties.contains("VendorID") && os::text::parseDecimal(properties.at("VendorID"))),
        "a vendor id told and not told");
  for (const std::optional<std::int64_t>& number : {identity.vendorId, identity.productId, identity.versionNumber}) {
    Check(!number || *number >= 0, "a negative number from decimal digits");
  }
  CheckIdentityText(identity.manufacturer);
  CheckIdentityText(identity.product);
  CheckIdentityText(identity.serialNumber);
  return 0;
}
