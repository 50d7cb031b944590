// Intel HEX in the one form the updater's loader reads.
#pragma once

#include <cstddef>
#include <string>

#include "logopack/firmware_image.h"

namespace logopack {

// Data bytes per record: the common choice of toolchains, and short enough that a record
// starts at every 16-byte boundary.
inline constexpr std::size_t kBytesPerDataRecord = 16;

// The image as the loader takes it: lines ending in CR LF, upper-case digits, data records
// in ascending address order that never cross a 16-byte boundary (so never a 64 KiB one),
// an extended linear address record (04) before the first data record and wherever the
// upper 16 address bits change, no start-address records, and the end-of-file record
// ":00000001FF" with its CR LF last. The loader finds a record's region by its first
// address only: records cut at 16-byte boundaries never straddle a region that starts on
// one.
std::string writeLoaderHex(const FirmwareImage& image);

}  // namespace logopack
