// The update that travels inside the logo image. Its text is six fields separated by "$":
// 1 not used, 2 version, 3 title, 4 vendor id, 5 product id (decimal text), 6 the firmware as
// Intel HEX text. Stored as the JPEG's colour profile, every byte XOR-combined with one key
// byte. The updater reads it back; the packing tool writes it.
#pragma once

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

}  // namespace UpdatePayload
