#include <algorithm>
#include <array>
#include <memory>
#include <variant>
#include <vector>

#include "cf_types.h"
#include "handle_table.h"
#include "hid_device.h"
#include "os/iokit_hid.h"
#include "registry_entry.h"

namespace {

using os::hid::RegistryEntry;

constexpr const char* kHidDeviceClass = "IOHIDDevice";
constexpr const char* kProviderClassKey = "IOProviderClass";

struct IteratorObject {
  std::vector<std::shared_ptr<const RegistryEntry>> entries;
  std::size_t next = 0;
};
using EntryObject = std::shared_ptr<const RegistryEntry>;
using RegistryObject = std::variant<IteratorObject, EntryObject>;

using HandleTable = os::hid::HandleTable<RegistryObject>;

HandleTable& handles() {
  static auto* table = new HandleTable();
  return *table;
}

// The object of kind T behind `handle`, or null.
template <class T>
T* findHandle(io_object_t handle) {
  RegistryObject* object = handles().find(handle);
  return object != nullptr ? std::get_if<T>(object) : nullptr;
}

CFMutableDictionaryRef propertiesOf(const os::hid::DeviceIdentity& identity) {
  CFMutableDictionaryRef properties =
      CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  const auto setNumber = [properties](const char* key, const std::optional<std::int64_t>& value) {
    if (!value) return;
    CFNumberRef number = new OSCFNumber(*value);
    properties->set(key, number);
    CFRelease(number);
  };
  const auto setText = [properties](const char* key, const std::optional<std::string>& value) {
    if (!value) return;
    CFStringRef string = os::cf::makeStringFromBytes(*value);
    properties->set(key, string);
    CFRelease(string);
  };
  setNumber("VendorID", identity.vendorId);
  setNumber("ProductID", identity.productId);
  setNumber("VersionNumber", identity.versionNumber);
  setText("Manufacturer", identity.manufacturer);
  setText("Product", identity.product);
  setText("SerialNumber", identity.serialNumber);
  return properties;
}

// Every key of the matching dictionary but the class must be a property of equal value.
bool matches(const OSCFDictionary& matching, const os::hid::DeviceIdentity& identity) {
  if (matching.values.size() == 1) return true;  // the class alone
  CFMutableDictionaryRef properties = propertiesOf(identity);
  const bool allEqual = std::all_of(matching.values.begin(), matching.values.end(), [properties](const auto& entry) {
    return entry.first == kProviderClassKey || CFEqual(properties->find(entry.first), entry.second);
  });
  CFRelease(properties);
  return allEqual;
}

std::vector<std::shared_ptr<const RegistryEntry>> matchingEntries(const OSCFDictionary& matching) {
  std::vector<std::shared_ptr<const RegistryEntry>> entries;
  const std::string* className = os::cf::stringText(matching.find(kProviderClassKey));
  if (className == nullptr || *className != kHidDeviceClass) return entries;
  for (const auto& source : os::hid::currentDeviceSources()) {
    for (auto& record : source->enumerate()) {
      if (matches(matching, record.identity)) {
        entries.push_back(std::make_shared<const RegistryEntry>(RegistryEntry{source, std::move(record)}));
      }
    }
  }
  return entries;
}

CFUUIDRef makeUuid(const std::array<std::uint8_t, 16>& bytes) {
  // Never destroyed: the ids are compared until the very end of the process.
  return new OSCFUUID(bytes);
}

}  // namespace

extern "C" {

const CFUUIDRef kIOHIDDeviceUserClientTypeID = makeUuid(
    {0x5B, 0x1E, 0x4A, 0x10, 0x7C, 0x2D, 0x4E, 0x61, 0x9A, 0x03, 0x21, 0x6F, 0x48, 0xD2, 0x11, 0x01});
const CFUUIDRef kIOCFPlugInInterfaceID = makeUuid(
    {0x5B, 0x1E, 0x4A, 0x10, 0x7C, 0x2D, 0x4E, 0x61, 0x9A, 0x03, 0x21, 0x6F, 0x48, 0xD2, 0x11, 0x02});
const CFUUIDRef kIOHIDDeviceInterfaceID = makeUuid(
    {0x5B, 0x1E, 0x4A, 0x10, 0x7C, 0x2D, 0x4E, 0x61, 0x9A, 0x03, 0x21, 0x6F, 0x48, 0xD2, 0x11, 0x03});

CFMutableDictionaryRef IOServiceMatching(const char* className) {
  if (className == nullptr || std::string_view(className) != kHidDeviceClass) return nullptr;
  CFMutableDictionaryRef matching =
      CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFStringRef classValue = CFStringCreateWithCString(kCFAllocatorDefault, className, kCFStringEncodingUTF8);
  matching->set(kProviderClassKey, classValue);
  CFRelease(classValue);
  return matching;
}

kern_return_t IOServiceGetMatchingServices(mach_port_t, CFDictionaryRef matching, io_iterator_t* iterator) {
  const auto* dictionary = os::cf::objectAs<OSCFDictionary>(matching);
  kern_return_t result = kIOReturnBadArgument;
  if (dictionary != nullptr && iterator != nullptr) {
    *iterator = handles().add(IteratorObject{matchingEntries(*dictionary)});
    result = *iterator != 0 ? kIOReturnSuccess : kIOReturnNoMemory;
  }
  CFRelease(matching);
  return result;
}

io_object_t IOIteratorNext(io_iterator_t iterator) {
  IteratorObject* walk = findHandle<IteratorObject>(iterator);
  if (walk == nullptr || walk->next >= walk->entries.size()) return 0;
  return handles().add(walk->entries[walk->next++]);
}

kern_return_t IOObjectRelease(io_object_t object) {
  return handles().remove(object) ? kIOReturnSuccess : kIOReturnBadArgument;
}

kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry, CFMutableDictionaryRef* properties,
                                                CFAllocatorRef, IOOptionBits) {
  const EntryObject* device = findHandle<EntryObject>(entry);
  if (device == nullptr || properties == nullptr) return kIOReturnBadArgument;
  *properties = propertiesOf((*device)->record.identity);
  return kIOReturnSuccess;
}

kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, CFUUIDRef pluginType, CFUUIDRef interfaceType,
                                                IOCFPlugInInterface*** plugInInterface, SInt32* score) {
  const EntryObject* device = findHandle<EntryObject>(service);
  if (device == nullptr || plugInInterface == nullptr) return kIOReturnBadArgument;
  if (!CFEqual(pluginType, kIOHIDDeviceUserClientTypeID) || !CFEqual(interfaceType, kIOCFPlugInInterfaceID)) {
    return kIOReturnUnsupported;
  }
  if (!(*device)->source->isPresent((*device)->record.location)) return kIOReturnNoDevice;
  *plugInInterface = os::hid::createPlugInInterface(*device);
  if (score != nullptr) *score = 0;
  return kIOReturnSuccess;
}

}  // extern "C"
