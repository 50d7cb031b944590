// The update that travels inside the logo image. Its text is six fields separated by "$":
// 1 not used, 2 version, 3 title, 4 vendor id, 5 product id (numbers in text), 6 the firmware as
// Intel HEX text. Stored as the JPEG's colour profile, every byte XOR-combined with one key
// byte. The updater reads it back; the packing tool writes it.
#pragma once

#include <cstdint>
#include <string_view>

namespace UpdatePayload {

// One byte, fixed: the updater undoes with it what the packing tool did with it.
inline constexpr std::string_view kKey = "\xA5";

inline constexpr char kFieldSeparator = '$';
inline constexpr int kFieldCount = 6;

// Field numbers, counted from 1.
inline constexpr int kUnusedField = 1;
inline constexpr int kVersionField = 2;
inline constexpr int kTitleField = 3;
inline constexpr int kVendorIdField = 4;
inline constexpr int kProductIdField = 5;
inline constexpr int kFirmwareField = 6;

// The id the updater searches for, read from the text of field 4 or 5: the number the text
// begins with (decimal, or hexadecimal after "&h"; 0 when there is none), its fraction cut
// off, and a number outside the 32-bit range made the nearest end of it, which no device id
// can match. The packing tool lists the ids by this same reading.
int32_t IdFromText(std::string_view text);

}  // namespace UpdatePayload
