#include "orvane_device.h"

#include <optional>
#include <span>
#include <utility>

#include "event_bridge.h"
#include "host_string_cf.h"
#include "orvane_class_data.h"
#include "plugin_frame.h"

namespace orvane {
namespace {

constexpr int32_t kNotDone = -1;
constexpr int32_t kDone = 0;
constexpr int32_t kDefaultTimeOutMs = 500;
constexpr int32_t kUnnumberedReport = 0;

void ReleaseObject(io_object_t& object) {
  if (object) IOObjectRelease(std::exchange(object, 0));
}

template <class CFReference>
void ReleaseCF(CFReference& reference) {
  if (reference) CFRelease(std::exchange(reference, nullptr));
}

void ReleaseDeviceInterface(OrvaneData& data) {
  if (IOHIDDeviceInterface** device = std::exchange(data.deviceInterface, nullptr)) {
    (*device)->Release(device);
  }
}

// Undoes a Connect as far as it got. The interface itself stays: sends after a disconnect
// still reach it and report what the closed device answers.
void TearDownConnection(OrvaneData& data) {
  IOHIDDeviceInterface** device = data.deviceInterface;
  if (std::exchange(data.sourceInRunLoop, 0)) {
    CFRunLoopRemoveSource(CFRunLoopGetCurrent(), data.eventSource, kCFRunLoopDefaultMode);
  }
  if (std::exchange(data.queuesStarted, 0)) (*device)->stopAllQueues(device);
  if (std::exchange(data.deviceOpened, 0)) (*device)->close(device);
  if (std::exchange(data.sourceCreated, 0)) CFRelease(data.eventSource);
}

// Makes `device` the current one. A device whose properties cannot be read stays current;
// its identity getters then find nothing.
void TakeDevice(OrvaneData& data, io_object_t device) {
  data.deviceEntry = device;
  ReleaseCF(data.deviceProperties);
  CFMutableDictionaryRef properties = nullptr;
  if (IORegistryEntryCreateCFProperties(device, &properties, kCFAllocatorDefault, 0) ==
          kIOReturnSuccess &&
      properties) {
    data.deviceProperties = properties;
  }
}

CFTypeRef Property(const OrvaneData& data, CFStringRef key) {
  return data.deviceProperties ? CFDictionaryGetValue(data.deviceProperties, key) : nullptr;
}

REALstring TextProperty(REALobject self, CFStringRef key) {
  OrvaneData& data = DataOf(self);
  data.lasterror = kNotDone;
  const CFTypeRef value = Property(data, key);
  if (!value) return nullptr;
  // The key is there: an empty text is a real answer, not a failure.
  data.lasterror = kDone;
  return HostStringFromCFString(static_cast<CFStringRef>(value));
}

int32_t NumberProperty(REALobject self, CFStringRef key) {
  OrvaneData& data = DataOf(self);
  data.lasterror = kNotDone;
  const CFTypeRef value = Property(data, key);
  if (!value || CFGetTypeID(value) != CFNumberGetTypeID()) return 0;
  int number = 0;
  if (!CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberIntType, &number)) return 0;
  data.lasterror = kDone;
  return number;
}

// The steps of Connect; the first that fails names its code and leaves the steps before it
// in place for the next tear-down.
int32_t OpenConnection(REALobject self, OrvaneData& data) {
  IOCFPlugInInterface** plugIn = nullptr;
  SInt32 score = 0;
  if (IOCreatePlugInInterfaceForService(data.deviceEntry, kIOHIDDeviceUserClientTypeID,
                                        kIOCFPlugInInterfaceID, &plugIn,
                                        &score) != kIOReturnSuccess ||
      !plugIn) {
    return kConnectNoPlugIn;
  }
  IOHIDDeviceInterface** device = nullptr;
  const HRESULT queried = (*plugIn)->QueryInterface(
      plugIn, CFUUIDGetUUIDBytes(kIOHIDDeviceInterfaceID), reinterpret_cast<LPVOID*>(&device));
  (*plugIn)->Release(plugIn);
  if (queried != S_OK || !device) return kConnectNoInterface;

  // The interface of an earlier Connect is of no use once replaced.
  ReleaseDeviceInterface(data);
  data.deviceInterface = device;
  if ((*device)->open(device, 0) != kIOReturnSuccess) return kConnectOpenFailed;
  data.deviceOpened = 1;

  mach_port_t port = 0;
  if ((*device)->createAsyncPort(device, &port) != kIOReturnSuccess) return kConnectNoAsyncPort;
  CFRunLoopSourceRef source = nullptr;
  if ((*device)->createAsyncEventSource(device, &source) != kIOReturnSuccess || !source) {
    return kConnectNoEventSource;
  }
  data.sourceCreated = 1;
  data.eventSource = source;
  if ((*device)->startAllQueues(device) != kIOReturnSuccess) return kConnectQueuesFailed;
  data.queuesStarted = 1;

  // Call-backs run on the thread that connected, whenever its run loop runs.
  CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopDefaultMode);
  data.sourceInRunLoop = 1;
  // Removal shows up as an event; a device that cannot tell it is still usable.
  (*device)->setRemovalCallback(device, RemovalCallback, self, self);
  return kDone;
}

// TimeOut is the program's to set: a negative value means no waiting, not four billion
// milliseconds.
UInt32 TimeOutMilliseconds(const OrvaneData& data) {
  return data.timeOut < 0 ? 0 : static_cast<UInt32>(data.timeOut);
}

void SendReport(OrvaneData& data, int32_t reportID, std::span<uint8_t> report) {
  IOHIDDeviceInterface** device = data.deviceInterface;
  if (!device) {
    data.lasterror = kNotDone;
    return;
  }
  data.lasterror =
      (*device)->setReport(device, kIOHIDReportTypeOutput, static_cast<UInt32>(reportID),
                           report.data(), static_cast<UInt32>(report.size()),
                           TimeOutMilliseconds(data), nullptr, nullptr, nullptr);
}

// The bytes a memory send names, or nothing when the buffer is missing, its size is unknown
// or the range does not lie inside it.
std::optional<std::span<uint8_t>> MemoryRange(REALmemoryBlock block, int32_t offset,
                                              int32_t length) {
  if (!block || offset < 0 || length < 0) return std::nullopt;
  const intptr_t size = plugin::memoryBlockGetSize(block);
  if (size < 0 || offset > size || length > size - offset) return std::nullopt;
  auto* bytes = static_cast<uint8_t*>(plugin::memoryBlockGetPtr(block));
  if (!bytes && size > 0) return std::nullopt;
  return std::span<uint8_t>(bytes, static_cast<size_t>(size))
      .subspan(static_cast<size_t>(offset), static_cast<size_t>(length));
}

void SendMemory(REALobject self, int32_t reportID, REALmemoryBlock block, int32_t offset,
                int32_t length) {
  OrvaneData& data = DataOf(self);
  const std::optional<std::span<uint8_t>> report = MemoryRange(block, offset, length);
  if (!report) {
    data.lasterror = kNotDone;
    return;
  }
  SendReport(data, reportID, *report);
}

// A host string's bytes as its record holds them; nil is the empty string.
std::span<uint8_t> StringBytes(REALstring text) {
  if (!text || !text->text) return {};
  // The text starts with a length byte that is not part of the string.
  return std::span<uint8_t>(text->text, text->length + 1).subspan(1);
}

}  // namespace

void Construct(REALobject self) { DataOf(self).timeOut = kDefaultTimeOutMs; }

void Close(REALobject self) {
  OrvaneData& data = DataOf(self);
  TearDownConnection(data);
  ReleaseObject(data.deviceEntry);
  ReleaseObject(data.deviceIterator);
  ReleaseCF(data.deviceProperties);
  ReleaseDeviceInterface(data);
}

bool FindFirstDevice(REALobject self) {
  OrvaneData& data = DataOf(self);
  data.lasterror = kNotDone;
  TearDownConnection(data);
  ReleaseObject(data.deviceEntry);
  ReleaseObject(data.deviceIterator);
  CFMutableDictionaryRef matching = IOServiceMatching("IOHIDDevice");
  if (!matching) return false;
  io_iterator_t iterator = 0;
  if (IOServiceGetMatchingServices(kIOMasterPortDefault, matching, &iterator) != kIOReturnSuccess ||
      !iterator) {
    return false;
  }
  data.deviceIterator = iterator;
  const io_object_t device = IOIteratorNext(iterator);
  if (!device) return false;
  TakeDevice(data, device);
  return true;
}

bool FindNextDevice(REALobject self) {
  OrvaneData& data = DataOf(self);
  ReleaseObject(data.deviceEntry);
  if (!data.deviceIterator) return false;
  const io_object_t device = IOIteratorNext(data.deviceIterator);
  if (!device) {
    ReleaseObject(data.deviceIterator);
    return false;
  }
  TakeDevice(data, device);
  return true;
}

REALstring Product(REALobject self) { return TextProperty(self, CFSTR("Product")); }
REALstring SerialNumber(REALobject self) { return TextProperty(self, CFSTR("SerialNumber")); }
REALstring Manufacturer(REALobject self) { return TextProperty(self, CFSTR("Manufacturer")); }
int32_t ProductID(REALobject self) { return NumberProperty(self, CFSTR("ProductID")); }
int32_t VendorID(REALobject self) { return NumberProperty(self, CFSTR("VendorID")); }
int32_t VersionNumber(REALobject self) { return NumberProperty(self, CFSTR("VersionNumber")); }

void Connect(REALobject self) {
  OrvaneData& data = DataOf(self);
  data.lasterror = kNotDone;
  TearDownConnection(data);
  data.lasterror = OpenConnection(self, data);
}

void Disconnect(REALobject self) {
  OrvaneData& data = DataOf(self);
  data.lasterror = kNotDone;
  TearDownConnection(data);
  data.lasterror = kDone;
}

void InstallCallback(REALobject self) {
  OrvaneData& data = DataOf(self);
  data.lasterror = kNotDone;
  const std::span<uint8_t> buffer = ReportBufferOf(data);
  data.reportBuffer = buffer.data();
  if (IOHIDDeviceInterface** device = data.deviceInterface) {
    data.lasterror = (*device)->setInterruptReportHandlerCallback(
        device, buffer.data(), static_cast<UInt32>(buffer.size()), ReportCallback, self, nullptr);
  }
}

void SendMessageMemory(REALobject self, REALmemoryBlock data, int32_t offset, int32_t length) {
  SendMemory(self, kUnnumberedReport, data, offset, length);
}

void SendMessage(REALobject self, REALstring data) {
  SendReport(DataOf(self), kUnnumberedReport, StringBytes(data));
}

void SendMessageMemoryWithReportID(REALobject self, int32_t reportID, REALmemoryBlock data,
                                   int32_t offset, int32_t length) {
  SendMemory(self, reportID, data, offset, length);
}

void SendMessageWithReportID(REALobject self, int32_t reportID, REALstring data) {
  SendReport(DataOf(self), reportID, StringBytes(data));
}

}  // namespace orvane
