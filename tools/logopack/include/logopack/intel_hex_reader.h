// Intel HEX as toolchains write it, read into a firmware image.
#pragma once

#include <cstddef>
#include <string_view>

#include "logopack/firmware_image.h"
#include "logopack/result.h"

namespace logopack {

struct IntelHexFile {
  FirmwareImage image;
  std::size_t recordCount = 0;  // every record up to and with the end-of-file record
};

// Reads records of types 00 to 05, lines ending in LF or CR LF. Every record's length and
// checksum are checked; start-address records (03, 05) are read and dropped. The text must
// end with an end-of-file record, after which only blank lines may follow. Errors name the
// line ("line 7: ...").
Result<IntelHexFile> readIntelHex(std::string_view text);

}  // namespace logopack
