// The scalar types and status codes the Mac-style interfaces of this layer are written in.
#pragma once

#include <cstdint>

extern "C" {

typedef unsigned char Boolean;
typedef uint8_t UInt8;
typedef uint16_t UInt16;
typedef uint32_t UInt32;
typedef uint64_t UInt64;
typedef int16_t SInt16;
typedef int32_t SInt32;
typedef int64_t SInt64;

typedef SInt32 OSStatus;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef unsigned long ByteCount;
typedef unsigned long ItemCount;
typedef UInt32 OptionBits;

}  // extern "C"

constexpr OSStatus noErr = 0;
constexpr OSStatus paramErr = -50;

// 'ZuvH'-style codes: multi-character literals are implementation-defined (and warned
// about), so codes are spelled as four-letter strings and packed big-end first.
constexpr FourCharCode OSFourCharCode(const char (&text)[5]) {
  return (FourCharCode{static_cast<UInt8>(text[0])} << 24) |
         (FourCharCode{static_cast<UInt8>(text[1])} << 16) |
         (FourCharCode{static_cast<UInt8>(text[2])} << 8) | FourCharCode{static_cast<UInt8>(text[3])};
}
