// The concrete Core Foundation value types, and the ways the rest of the layer makes and
// reads them without going through the C calls.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "cf_object.h"

struct OSCFString final : os::cf::Object {
  static constexpr os::cf::TypeId kTypeId = os::cf::TypeId::String;
  // `text` must be valid UTF-8.
  explicit OSCFString(std::string text, Lifetime lifetime = Lifetime::Counted)
      : Object(kTypeId, lifetime), text(std::move(text)) {}
  bool equals(const Object& other) const override;

  const std::string text;
};

struct OSCFNumber final : os::cf::Object {
  static constexpr os::cf::TypeId kTypeId = os::cf::TypeId::Number;
  explicit OSCFNumber(std::int64_t value) : Object(kTypeId), value(value) {}
  bool equals(const Object& other) const override;

  const std::int64_t value;
};

struct OSCFDictionary final : os::cf::Object {
  static constexpr os::cf::TypeId kTypeId = os::cf::TypeId::Dictionary;
  OSCFDictionary() : Object(kTypeId) {}
  ~OSCFDictionary() override;
  // Retains `value` and releases the one it replaces.
  void set(std::string key, CFTypeRef value);
  CFTypeRef find(std::string_view key) const;

  std::map<std::string, CFTypeRef, std::less<>> values;
};

struct OSCFUUID final : os::cf::Object {
  static constexpr os::cf::TypeId kTypeId = os::cf::TypeId::Uuid;
  explicit OSCFUUID(const std::array<std::uint8_t, 16>& bytes) : Object(kTypeId, Lifetime::Process), bytes(bytes) {}
  bool equals(const Object& other) const override;

  const std::array<std::uint8_t, 16> bytes;
};

namespace os::cf {

// A new string from text of unknown quality: invalid UTF-8 is replaced, not refused.
CFStringRef makeStringFromBytes(std::string_view bytes);
// The UTF-8 text of a string object, or null when `reference` is not a string.
const std::string* stringText(CFTypeRef reference);

}  // namespace os::cf
