// The class data of an OrvaneZuv instance. The host reads and writes TimeOut and Lasterror
// itself at fixed offsets; everything else belongs to the plug-in and keeps the order of the
// original record, each field at its natural width and alignment on this machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "os/iokit_hid.h"
#include "os/run_loop.h"
#include "plugin_abi.h"

namespace orvane {

// Room the input-report buffer gets inside the instance, so that IOKit never needs a buffer
// of ours per report.
constexpr size_t kReportBufferSize = 1024;
constexpr size_t kReportBufferAlignment = 16;

struct OrvaneData {
  int32_t timeOut;                         // milliseconds every output report may take
  int32_t lasterror;                       // outcome of the last operation that reports one
  io_object_t deviceEntry;                 // current device of the walk, or 0
  IOHIDDeviceInterface** deviceInterface;  // set by Connect; survives a disconnect
  uint32_t reserved;                       // never used
  CFRunLoopSourceRef eventSource;
  CFMutableDictionaryRef deviceProperties;  // registry properties of deviceEntry, or 0
  io_iterator_t deviceIterator;
  uint32_t queuesStarted;
  uint32_t deviceOpened;
  uint32_t sourceInRunLoop;
  uint32_t sourceCreated;
  uint8_t* reportBuffer;  // 16-byte aligned start inside reportBufferArea
  uint8_t reportBufferArea[kReportBufferSize + kReportBufferAlignment];
};

static_assert(offsetof(OrvaneData, timeOut) == 0);
static_assert(offsetof(OrvaneData, lasterror) == 4);
static_assert(sizeof(OrvaneData::reportBufferArea) == 1040);
// The original record was 1092 bytes with 4-byte pointers. With 8-byte pointers and their
// alignment the fields end at offset 80, so the class data is 1120 bytes: the report area
// keeps its full room and the host needs no rounding.
static_assert(offsetof(OrvaneData, reportBufferArea) == 80);
static_assert(sizeof(OrvaneData) == 1120, "the size the class registers");

// The class data of an instance of OrvaneZuv or of a program subclass.
OrvaneData& DataOf(REALobject instance);

// The aligned input-report buffer inside the instance: the first 16-byte aligned address at
// or after the area's start, kReportBufferSize bytes long.
std::span<uint8_t> ReportBufferOf(OrvaneData& data);

}  // namespace orvane
