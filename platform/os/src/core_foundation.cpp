#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "cf_types.h"
#include "os/core_foundation.h"
#include "utf8.h"

struct CFDictionaryKeyCallBacks {};
struct CFDictionaryValueCallBacks {};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks{};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks{};

namespace os::cf {

void Object::retain() const {
  if (lifetime_ == Lifetime::Counted) references_.fetch_add(1, std::memory_order_relaxed);
}

void Object::release() const {
  if (lifetime_ == Lifetime::Counted && references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

CFIndex Object::retainCount() const {
  return lifetime_ == Lifetime::Counted ? references_.load(std::memory_order_relaxed)
                                        : std::numeric_limits<CFIndex>::max();
}

CFStringRef makeStringFromBytes(std::string_view bytes) { return new OSCFString(utf8::sanitized(bytes)); }

const std::string* stringText(CFTypeRef reference) {
  const auto* string = objectAs<OSCFString>(reference);
  return string != nullptr ? &string->text : nullptr;
}

}  // namespace os::cf

bool OSCFString::equals(const Object& other) const {
  const auto* string = os::cf::objectAs<OSCFString>(&other);
  return string != nullptr && string->text == text;
}

bool OSCFNumber::equals(const Object& other) const {
  const auto* number = os::cf::objectAs<OSCFNumber>(&other);
  return number != nullptr && number->value == value;
}

bool OSCFUUID::equals(const Object& other) const {
  const auto* uuid = os::cf::objectAs<OSCFUUID>(&other);
  return uuid != nullptr && uuid->bytes == bytes;
}

OSCFDictionary::~OSCFDictionary() {
  for (const auto& entry : values) os::cf::objectFrom(entry.second)->release();
}

void OSCFDictionary::set(std::string key, CFTypeRef value) {
  os::cf::objectFrom(value)->retain();
  auto [position, inserted] = values.try_emplace(std::move(key), value);
  if (!inserted) {
    os::cf::objectFrom(position->second)->release();
    position->second = value;
  }
}

CFTypeRef OSCFDictionary::find(std::string_view key) const {
  const auto position = values.find(key);
  return position != values.end() ? position->second : nullptr;
}

namespace {

using os::cf::objectAs;
using os::cf::objectFrom;

struct IntegerFormat {
  std::size_t byteCount;
  std::int64_t minimum;
  std::int64_t maximum;
};

template <class T>
constexpr IntegerFormat formatOf() {
  return {sizeof(T), std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
}

std::optional<IntegerFormat> integerFormat(CFNumberType type) {
  switch (type) {
    case kCFNumberSInt8Type:
    case kCFNumberCharType:
      return formatOf<std::int8_t>();
    case kCFNumberSInt16Type:
    case kCFNumberShortType:
      return formatOf<std::int16_t>();
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
      return formatOf<std::int32_t>();
    case kCFNumberSInt64Type:
    case kCFNumberLongType:
    case kCFNumberLongLongType:
    case kCFNumberCFIndexType:
      return formatOf<std::int64_t>();
    default:
      return std::nullopt;
  }
}

// Reads or writes a little-endian machine integer of the format's width.
std::int64_t readInteger(const IntegerFormat& format, const void* value) {
  switch (format.byteCount) {
    case 1: return *static_cast<const std::int8_t*>(value);
    case 2: return *static_cast<const std::int16_t*>(value);
    case 4: return *static_cast<const std::int32_t*>(value);
    default: return *static_cast<const std::int64_t*>(value);
  }
}

void writeInteger(const IntegerFormat& format, std::int64_t number, void* value) {
  switch (format.byteCount) {
    case 1: *static_cast<std::int8_t*>(value) = static_cast<std::int8_t>(number); break;
    case 2: *static_cast<std::int16_t*>(value) = static_cast<std::int16_t>(number); break;
    case 4: *static_cast<std::int32_t*>(value) = static_cast<std::int32_t>(number); break;
    default: *static_cast<std::int64_t*>(value) = number; break;
  }
}

}  // namespace

extern "C" {

CFTypeRef CFRetain(CFTypeRef object) {
  if (object != nullptr) objectFrom(object)->retain();
  return object;
}

void CFRelease(CFTypeRef object) {
  if (object != nullptr) objectFrom(object)->release();
}

CFIndex CFGetRetainCount(CFTypeRef object) { return object != nullptr ? objectFrom(object)->retainCount() : 0; }

CFTypeID CFGetTypeID(CFTypeRef object) {
  return object != nullptr ? static_cast<CFTypeID>(objectFrom(object)->type()) : 0;
}

Boolean CFEqual(CFTypeRef first, CFTypeRef second) {
  if (first == nullptr || second == nullptr) return first == second;
  return objectFrom(first)->equals(*objectFrom(second));
}

CFTypeID CFStringGetTypeID(void) { return static_cast<CFTypeID>(OSCFString::kTypeId); }

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding) {
  if (text == nullptr || encoding != kCFStringEncodingUTF8) return nullptr;
  const std::string_view view(text);
  if (!os::utf8::utf16Length(view)) return nullptr;
  return new OSCFString(std::string(view));
}

CFIndex CFStringGetLength(CFStringRef string) {
  const std::string* text = os::cf::stringText(string);
  if (text == nullptr) return 0;
  // Every string object holds valid UTF-8, so the length is always known.
  return static_cast<CFIndex>(os::utf8::utf16Length(*text).value_or(0));
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
  const std::string* text = os::cf::stringText(string);
  if (text == nullptr || buffer == nullptr || bufferSize <= 0 || encoding != kCFStringEncodingUTF8) return false;
  const std::span<char> destination(buffer, static_cast<std::size_t>(bufferSize));
  if (text->size() + 1 > destination.size()) return false;
  std::copy(text->begin(), text->end(), destination.begin());
  destination[text->size()] = '\0';
  return true;
}

CFStringRef OSCFStringMakeConstant(const char* text) {
  // Never destroyed: constants must stay valid while other libraries shut down.
  static auto* constants = new std::map<std::string, std::unique_ptr<OSCFString>, std::less<>>();
  const std::string_view key = text != nullptr ? text : "";
  auto position = constants->find(key);
  if (position == constants->end()) {
    auto string = std::make_unique<OSCFString>(os::utf8::sanitized(key), OSCFString::Lifetime::Process);
    position = constants->emplace(std::string(key), std::move(string)).first;
  }
  return position->second.get();
}

CFTypeID CFNumberGetTypeID(void) { return static_cast<CFTypeID>(OSCFNumber::kTypeId); }

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* value) {
  const auto format = integerFormat(type);
  if (!format || value == nullptr) return nullptr;
  return new OSCFNumber(readInteger(*format, value));
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value) {
  const auto* object = objectAs<OSCFNumber>(number);
  const auto format = integerFormat(type);
  if (object == nullptr || !format || value == nullptr) return false;
  writeInteger(*format, object->value, value);
  return object->value >= format->minimum && object->value <= format->maximum;
}

CFTypeID CFDictionaryGetTypeID(void) { return static_cast<CFTypeID>(OSCFDictionary::kTypeId); }

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks) {
  if (keyCallBacks != &kCFTypeDictionaryKeyCallBacks || valueCallBacks != &kCFTypeDictionaryValueCallBacks) {
    return nullptr;
  }
  return new OSCFDictionary();
}

void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value) {
  const std::string* keyText = os::cf::stringText(key);
  if (objectAs<OSCFDictionary>(dictionary) == nullptr || keyText == nullptr || value == nullptr) return;
  dictionary->set(*keyText, value);
}

const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key) {
  const auto* object = objectAs<OSCFDictionary>(dictionary);
  const std::string* keyText = os::cf::stringText(key);
  if (object == nullptr || keyText == nullptr) return nullptr;
  return object->find(*keyText);
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary) {
  const auto* object = objectAs<OSCFDictionary>(dictionary);
  return object != nullptr ? static_cast<CFIndex>(object->values.size()) : 0;
}

CFTypeID CFUUIDGetTypeID(void) { return static_cast<CFTypeID>(OSCFUUID::kTypeId); }

CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid) {
  CFUUIDBytes result{};
  if (const auto* object = objectAs<OSCFUUID>(uuid)) std::copy(object->bytes.begin(), object->bytes.end(), result.bytes);
  return result;
}

}  // extern "C"
