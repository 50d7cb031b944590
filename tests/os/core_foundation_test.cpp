#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "os/core_foundation.h"
#include "os/iokit_hid.h"

namespace {

CFStringRef makeString(const char* text) {
  return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

TEST(OsCoreFoundation, StringLengthCountsUtf16Units) {
  CFStringRef umlaut = makeString("Ger\xC3\xA4t");               // 6 bytes, 5 units
  CFStringRef astral = makeString("a\xF0\x9F\x98\x80");          // 5 bytes, 1 + 2 units
  CFStringRef empty = makeString("");
  EXPECT_EQ(CFStringGetLength(umlaut), 5);
  EXPECT_EQ(CFStringGetLength(astral), 3);
  EXPECT_EQ(CFStringGetLength(empty), 0);
  CFRelease(umlaut);
  CFRelease(astral);
  CFRelease(empty);
}

TEST(OsCoreFoundation, GetCStringNeedsRoomForTextAndTerminator) {
  CFStringRef string = makeString("Ger\xC3\xA4t");
  char exact[7] = {};
  EXPECT_TRUE(CFStringGetCString(string, exact, sizeof exact, kCFStringEncodingUTF8));
  EXPECT_EQ(std::string(exact), "Ger\xC3\xA4t");

  char tooSmall[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
  EXPECT_FALSE(CFStringGetCString(string, tooSmall, sizeof tooSmall, kCFStringEncodingUTF8));
  EXPECT_EQ(tooSmall[0], 'x') << "a refused copy leaves the buffer alone";
  EXPECT_FALSE(CFStringGetCString(string, exact, sizeof exact, 0x0600 /* ASCII */));
  CFRelease(string);
}

TEST(OsCoreFoundation, InvalidUtf8MakesNoString) {
  EXPECT_EQ(makeString("\xC3"), nullptr);              // cut-off sequence
  EXPECT_EQ(makeString("\xC0\xAF"), nullptr);          // overlong slash
  EXPECT_EQ(makeString("\xED\xA0\x80"), nullptr);      // surrogate
  EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "abc", 0x0600), nullptr);
}

TEST(OsCoreFoundation, NumbersConvertAndReportWhatDoesNotFit) {
  const std::int64_t large = 5'000'000'000;
  CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &large);
  std::int32_t asInt = 0;
  std::int64_t asLong = 0;
  EXPECT_FALSE(CFNumberGetValue(number, kCFNumberIntType, &asInt));
  EXPECT_TRUE(CFNumberGetValue(number, kCFNumberLongLongType, &asLong));
  EXPECT_EQ(asLong, large);
  CFRelease(number);

  const int vendor = 0x1234;
  number = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &vendor);
  EXPECT_TRUE(CFNumberGetValue(number, kCFNumberIntType, &asInt));
  EXPECT_EQ(asInt, 0x1234);
  std::int8_t asByte = 0;
  EXPECT_FALSE(CFNumberGetValue(number, kCFNumberSInt8Type, &asByte));
  EXPECT_FALSE(CFNumberGetValue(number, 6 /* a float type */, &asLong));
  CFRelease(number);
}

TEST(OsCoreFoundation, DictionaryFindsByTextAndOwnsItsValues) {
  CFMutableDictionaryRef dictionary =
      CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  const int one = 1;
  const int two = 2;
  CFNumberRef first = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &one);
  CFNumberRef second = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &two);
  CFStringRef key = makeString("Product");

  CFDictionarySetValue(dictionary, key, first);
  EXPECT_EQ(CFGetRetainCount(first), 2);
  CFStringRef sameText = makeString("Product");
  EXPECT_EQ(CFDictionaryGetValue(dictionary, sameText), first);
  EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("Product")), first);
  EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("product")), nullptr) << "keys are case-sensitive";
  EXPECT_EQ(CFDictionaryGetValue(dictionary, first), nullptr) << "only strings are keys";

  CFDictionarySetValue(dictionary, sameText, second);
  EXPECT_EQ(CFGetRetainCount(first), 1) << "a replaced value is released";
  EXPECT_EQ(CFDictionaryGetCount(dictionary), 1);

  CFRelease(dictionary);
  EXPECT_EQ(CFGetRetainCount(second), 1) << "the dictionary releases what it held";
  CFRelease(first);
  CFRelease(second);
  CFRelease(key);
  CFRelease(sameText);
}

TEST(OsCoreFoundation, ConstantsAreSharedAndOutliveRelease) {
  CFStringRef constant = CFSTR("VendorID");
  EXPECT_EQ(constant, CFSTR("VendorID"));
  CFRelease(constant);
  CFRelease(constant);
  EXPECT_EQ(CFStringGetLength(CFSTR("VendorID")), 8);
  EXPECT_EQ(CFGetTypeID(constant), CFStringGetTypeID());
}

TEST(OsCoreFoundation, EqualityFollowsValues) {
  CFStringRef a = makeString("x");
  CFStringRef b = makeString("x");
  EXPECT_TRUE(CFEqual(a, b));
  EXPECT_TRUE(CFEqual(kIOHIDDeviceInterfaceID, kIOHIDDeviceInterfaceID));
  EXPECT_FALSE(CFEqual(kIOHIDDeviceInterfaceID, kIOCFPlugInInterfaceID));
  EXPECT_FALSE(CFEqual(a, kIOCFPlugInInterfaceID));
  const CFUUIDBytes plugIn = CFUUIDGetUUIDBytes(kIOCFPlugInInterfaceID);
  const CFUUIDBytes device = CFUUIDGetUUIDBytes(kIOHIDDeviceInterfaceID);
  EXPECT_NE(std::string(std::begin(plugIn.bytes), std::end(plugIn.bytes)),
            std::string(std::begin(device.bytes), std::end(device.bytes)));
  CFRelease(a);
  CFRelease(b);
}

}  // namespace
