// Core Foundation values: reference-counted strings, numbers, dictionaries and UUIDs.
//
// Every object comes with a retain count of 1 from its Create function and is freed by the
// CFRelease that brings the count to 0. Constants (CFSTR texts, the UUID and mode constants)
// live for the whole process and ignore retain and release. All calls are made on the main
// thread; retain and release alone may be called from any thread.
#pragma once

#include "os/export.h"
#include "os/mac_types.h"

extern "C" {

typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef const void* CFTypeRef;

struct OSCFAllocator;
struct OSCFString;
struct OSCFNumber;
struct OSCFDictionary;
struct OSCFUUID;
typedef const OSCFAllocator* CFAllocatorRef;
typedef const OSCFString* CFStringRef;
typedef const OSCFNumber* CFNumberRef;
typedef const OSCFDictionary* CFDictionaryRef;
typedef OSCFDictionary* CFMutableDictionaryRef;
typedef const OSCFUUID* CFUUIDRef;

// There is one allocator, the default one.
constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

// ---- Any object ----
OS_API CFTypeRef CFRetain(CFTypeRef object);
// A null object is ignored.
OS_API void CFRelease(CFTypeRef object);
OS_API CFIndex CFGetRetainCount(CFTypeRef object);
OS_API CFTypeID CFGetTypeID(CFTypeRef object);
// Strings compare by text, numbers by value, UUIDs by bytes, everything else by identity.
OS_API Boolean CFEqual(CFTypeRef first, CFTypeRef second);

// ---- Strings (UTF-8 inside) ----
typedef UInt32 CFStringEncoding;
constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;

OS_API CFTypeID CFStringGetTypeID(void);
// Null when the text is not valid in the encoding (only UTF-8 is known).
OS_API CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text,
                                             CFStringEncoding encoding);
// Length in UTF-16 code units, as a Mac string counts it.
OS_API CFIndex CFStringGetLength(CFStringRef string);
// Copies the text and its terminating NUL; false when they do not fit in `bufferSize`
// bytes or the encoding is not UTF-8.
OS_API Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize,
                                  CFStringEncoding encoding);
// A string that lives for the whole process, one per distinct text.
OS_API CFStringRef OSCFStringMakeConstant(const char* text);
#define CFSTR(text) OSCFStringMakeConstant("" text "")

// ---- Numbers (integers) ----
typedef CFIndex CFNumberType;
constexpr CFNumberType kCFNumberSInt8Type = 1;
constexpr CFNumberType kCFNumberSInt16Type = 2;
constexpr CFNumberType kCFNumberSInt32Type = 3;
constexpr CFNumberType kCFNumberSInt64Type = 4;
constexpr CFNumberType kCFNumberCharType = 7;
constexpr CFNumberType kCFNumberShortType = 8;
constexpr CFNumberType kCFNumberIntType = 9;
constexpr CFNumberType kCFNumberLongType = 10;
constexpr CFNumberType kCFNumberLongLongType = 11;
constexpr CFNumberType kCFNumberCFIndexType = 14;

OS_API CFTypeID CFNumberGetTypeID(void);
// Null for a type that is not one of the integer types above.
OS_API CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType type, const void* value);
// Stores the value converted to `type`; false when it does not fit (the truncated value is
// stored anyway) or the type is unknown.
OS_API Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value);

// ---- Dictionaries with string keys ----
// Keys are compared by text, so a key made on the spot finds the entry. The dictionary
// copies its keys and retains its values.
struct CFDictionaryKeyCallBacks;
struct CFDictionaryValueCallBacks;
OS_API extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
OS_API extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

OS_API CFTypeID CFDictionaryGetTypeID(void);
// Only the kCFType call-backs are known; others give null.
OS_API CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                        const CFDictionaryKeyCallBacks* keyCallBacks,
                                                        const CFDictionaryValueCallBacks* valueCallBacks);
// A key that is not a string is ignored.
OS_API void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value);
// Null when the key is absent (the value is not retained for the caller).
OS_API const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key);
OS_API CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary);

// ---- UUIDs ----
struct CFUUIDBytes {
  UInt8 bytes[16];
};
OS_API CFTypeID CFUUIDGetTypeID(void);
OS_API CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid);

}  // extern "C"
