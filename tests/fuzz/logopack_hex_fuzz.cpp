// The packing tool's Intel HEX reader over any text. What it accepts it must be able to
// write again in the loader's form, and reading that back must give the same bytes at the
// same addresses.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "logopack/intel_hex_reader.h"
#include "logopack/intel_hex_writer.h"

namespace {

using fuzz::Check;

bool SameBytes(const logopack::FirmwareImage& a, const logopack::FirmwareImage& b) {
  if (a.segments.size() != b.segments.size()) return false;
  for (size_t i = 0; i < a.segments.size(); ++i) {
    if (a.segments[i].address != b.segments[i].address || a.segments[i].bytes != b.segments[i].bytes) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const std::string text(bytes.begin(), bytes.end());
  const logopack::Result<logopack::IntelHexFile> read = logopack::readIntelHex(text);
  if (!read) {
    Check(!read.error().message.empty(), "an error without words");
    return 0;
  }
  Check(read.value().recordCount > 0, "a file accepted without its end-of-file record");
  const std::string again = logopack::writeLoaderHex(read.value().image);
  const logopack::Result<logopack::IntelHexFile> reread = logopack::readIntelHex(again);
  Check(reread.ok(), "the loader's form of an accepted file is refused");
  Check(SameBytes(read.value().image, reread.value().image), "the loader's form holds other bytes");
  return 0;
}
