// The HID part of an IOKit-style registry: enumerate the HID devices, read their identity,
// and reach a device through COM-style interfaces:
//
//   IOCFPlugInInterface** plugIn;  SInt32 score;
//   IOCreatePlugInInterfaceForService(entry, kIOHIDDeviceUserClientTypeID,
//                                     kIOCFPlugInInterfaceID, &plugIn, &score);
//   IOHIDDeviceInterface** device;
//   (*plugIn)->QueryInterface(plugIn, CFUUIDGetUUIDBytes(kIOHIDDeviceInterfaceID),
//                             reinterpret_cast<LPVOID*>(&device));
//   (*plugIn)->Release(plugIn);
//   (*device)->open(device, 0);
//
// Devices come from two sources, enumerated together: the system's hidraw nodes first, then
// the virtual devices of the device simulator. Input reports and removal are noticed by the
// device's event source while it is in the run loop, and their call-backs run on the main
// thread inside the event loop.
#pragma once

#include "os/core_foundation.h"
#include "os/export.h"
#include "os/run_loop.h"

extern "C" {

typedef int kern_return_t;
typedef kern_return_t IOReturn;
typedef UInt32 mach_port_t;
typedef mach_port_t io_object_t;
typedef io_object_t io_iterator_t;
typedef io_object_t io_service_t;
typedef io_object_t io_registry_entry_t;
typedef UInt32 IOOptionBits;

constexpr mach_port_t kIOMasterPortDefault = 0;

constexpr IOReturn kIOReturnSuccess = 0;
constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xE00002BCu);
constexpr IOReturn kIOReturnNoMemory = static_cast<IOReturn>(0xE00002BDu);
constexpr IOReturn kIOReturnNoDevice = static_cast<IOReturn>(0xE00002C0u);
constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xE00002C2u);
constexpr IOReturn kIOReturnExclusiveAccess = static_cast<IOReturn>(0xE00002C5u);
constexpr IOReturn kIOReturnUnsupported = static_cast<IOReturn>(0xE00002C7u);
constexpr IOReturn kIOReturnNotOpen = static_cast<IOReturn>(0xE00002CDu);
constexpr IOReturn kIOReturnTimeout = static_cast<IOReturn>(0xE00002D6u);
constexpr IOReturn kIOReturnNotPermitted = static_cast<IOReturn>(0xE00002E2u);

// ---- COM ----
typedef SInt32 HRESULT;
typedef UInt32 ULONG;
typedef void* LPVOID;
typedef CFUUIDBytes REFIID;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80000004u);

// ---- Interface ids ----
OS_API extern const CFUUIDRef kIOHIDDeviceUserClientTypeID;
OS_API extern const CFUUIDRef kIOCFPlugInInterfaceID;
OS_API extern const CFUUIDRef kIOHIDDeviceInterfaceID;

// ---- Registry ----
// The matching dictionary for a class: only "IOHIDDevice" is known (null for any other).
// Keys added to it besides the class must equal the device's property of that name.
OS_API CFMutableDictionaryRef IOServiceMatching(const char* className);
// Takes over one reference of `matching`, also on failure. The iterator lists every matching
// device present at this moment; release it with IOObjectRelease. Handles are never reused:
// once 2^32 - 1 have been handed out, this fails with kIOReturnNoMemory.
OS_API kern_return_t IOServiceGetMatchingServices(mach_port_t masterPort, CFDictionaryRef matching,
                                                  io_iterator_t* iterator);
// The next device as a new object the caller releases, or 0 at the end (or when no handle
// is left).
OS_API io_object_t IOIteratorNext(io_iterator_t iterator);
OS_API kern_return_t IOObjectRelease(io_object_t object);
// A new dictionary with "VendorID", "ProductID", "VersionNumber" (numbers) and
// "Manufacturer", "Product", "SerialNumber" (strings); a key is absent when the device does
// not tell that property.
OS_API kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry,
                                                       CFMutableDictionaryRef* properties,
                                                       CFAllocatorRef allocator, IOOptionBits options);

// ---- Interfaces ----
struct IOCFPlugInInterface {
  void* _reserved;
  HRESULT (*QueryInterface)(void* self, REFIID iid, LPVOID* interface);
  ULONG (*AddRef)(void* self);
  ULONG (*Release)(void* self);
  UInt16 version;
  UInt16 revision;
};

// Fails with kIOReturnBadArgument for entry 0 or an unknown object, kIOReturnNoDevice when
// the device has gone, kIOReturnUnsupported for other type ids.
OS_API kern_return_t IOCreatePlugInInterfaceForService(io_service_t service, CFUUIDRef pluginType,
                                                       CFUUIDRef interfaceType,
                                                       IOCFPlugInInterface*** plugInInterface,
                                                       SInt32* score);

enum IOHIDReportType : UInt32 {
  kIOHIDReportTypeInput = 0,
  kIOHIDReportTypeOutput = 1,
  kIOHIDReportTypeFeature = 2,
};

// `sender` is the device interface.
typedef void (*IOHIDCallbackFunction)(void* target, IOReturn result, void* refcon, void* sender);
typedef void (*IOHIDReportCallbackFunction)(void* target, IOReturn result, void* refcon, void* sender,
                                            UInt32 bufferSize);

// Once the device has gone (its removal call-back has run) every call but AddRef and
// Release returns kIOReturnNoDevice.
struct IOHIDDeviceInterface {
  void* _reserved;
  HRESULT (*QueryInterface)(void* self, REFIID iid, LPVOID* interface);
  ULONG (*AddRef)(void* self);
  ULONG (*Release)(void* self);

  // A new run-loop source (the caller releases it) through which input reports and removal
  // are noticed while it is in the run loop.
  IOReturn (*createAsyncEventSource)(void* self, CFRunLoopSourceRef* source);
  IOReturn (*createAsyncPort)(void* self, mach_port_t* port);
  // Options are not looked at: the device is shared.
  IOReturn (*open)(void* self, UInt32 options);
  IOReturn (*close)(void* self);
  IOReturn (*setRemovalCallback)(void* self, IOHIDCallbackFunction callback, void* target,
                                 void* refcon);
  IOReturn (*startAllQueues)(void* self);
  IOReturn (*stopAllQueues)(void* self);
  // Output reports only. The report goes out with `reportID` as its first byte. With a null
  // callback the call returns when the report has gone or `timeoutMS` has passed
  // (kIOReturnTimeout); a completion callback is not supported. The time-out holds for the
  // simulator's virtual devices only: a hidraw node always reports itself writable, and its
  // write then waits for the device as long as the kernel's own limit allows, whatever
  // `timeoutMS` says.
  IOReturn (*setReport)(void* self, IOHIDReportType reportType, UInt32 reportID, void* buffer,
                        UInt32 bufferSize, UInt32 timeoutMS, IOHIDReportCallbackFunction callback,
                        void* callbackTarget, void* callbackRefcon);
  // Every later input report is copied into `buffer` (at most `bufferSize` bytes; the rest of
  // a longer report is cut off) and `callback` gets the copied length. Reports of an
  // unnumbered device come without a report-id byte, those of a numbered one with it.
  IOReturn (*setInterruptReportHandlerCallback)(void* self, void* buffer, UInt32 bufferSize,
                                                IOHIDReportCallbackFunction callback,
                                                void* callbackTarget, void* callbackRefcon);
};

}  // extern "C"
