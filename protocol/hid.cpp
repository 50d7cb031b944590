#include "hid.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "alerts.h"
#include "build_settings.h"
#include "command_packets.h"
#include "device_geometry.h"
#include "system_log.h"
#include "text_functions.h"
#include "traffic_log.h"
#include "zuv_utilities.h"

namespace HID {

// Defined in the reverse of their release order: should a process end without
// ReleaseGlobals, static destruction still drops the device first.
std::string datatitle;
std::string dataversion;
std::string datafile;
fw::Ref<fw::TextOutputStream> logfile;
fw::Ref<fw::TessikZuv> DeviceWin;
std::vector<fw::Ref<MemoryRegion>> MemoryRegions;
fw::Ref<MyOrvane> DeviceMac;

int32_t VendorID = 0;
int32_t ProductID = 0;
bool DeviceFound = false;
int32_t memoryRegionsDetected = 0;
int32_t BytesPerPacket = 0;
int32_t DeviceFamily = 0;
int32_t bytesPerAddress = 0;

namespace {

// Every image carries 10 zero bytes past the region's end, which no device address maps to.
constexpr int32_t kImageSpareBytes = 10;

struct RegionRecord {
  uint8_t type;
  int32_t address;
  int32_t size;
};

bool LiesInside(const fw::MemoryBlock& answer, size_t recordPos) {
  return recordPos + RegionRecordSize <= answer.Size();
}

// The later steps compare and subtract text addresses, which are device addresses times the
// bytes per address, as signed 32-bit numbers. That works anywhere, above 0x80000000 too, as
// long as the region's whole byte range lies in the signed 32-bit range without wrapping: its
// first byte and its last one (the end itself, one past the last byte, may be 2^31). Signed,
// a region that runs past the device's last address 0xFFFFFFFF into 0 would not wrap, so
// that is checked on the device's own, unsigned addresses.
bool IsPossible(const RegionRecord& record) {
  if (record.size < 0 || record.size > MaxRegionSize) return false;
  if (int64_t{static_cast<uint32_t>(record.address)} + record.size > int64_t{UINT32_MAX} + 1) return false;
  const int64_t first = int64_t{record.address} * ImageBytesPerAddress();
  const int64_t end = (int64_t{record.address} + record.size) * ImageBytesPerAddress();
  return first >= INT32_MIN && end <= int64_t{INT32_MAX} + 1;
}

// Size addresses of bytesPerAddress image bytes each, and the spare bytes past the end.
int64_t ImageBytes(int32_t size) { return int64_t{size} * ImageBytesPerAddress() + kImageSpareBytes; }

int64_t ImageBytesHeld() {
  int64_t held = 0;
  for (const fw::Ref<MemoryRegion>& region : MemoryRegions) {
    if (region->data) held += static_cast<int64_t>(region->data->Size());
  }
  return held;
}

fw::Ref<MemoryRegion> NewRegion(const RegionRecord& record) {
  fw::Ref<MemoryRegion> region = fw::MakeRef<MemoryRegion>();
  region->Type = record.type;
  region->Address = record.address;
  region->Size = record.size;
  region->data = fw::NewMemoryBlock(static_cast<size_t>(ImageBytes(record.size)));
  FillBytesZuv(*region->data, 0, static_cast<int32_t>(ImageBytes(record.size) - kImageSpareBytes), 0xFF);
  return region;
}

void RejectRegion(int index, int32_t address, int32_t size) {
  fw::MsgBox("Invalid memory region reported by device." + fw::EndOfLine + fw::EndOfLine +
             "Region " + fw::Str(index + 1) + ": address " + fw::Hex(address) + ", size " +
             fw::Str(size));
}

// Called only where the debug aids are on; clang notes it unused in the shipped variant.
[[maybe_unused]] void LogRegions() {
  fw::System::DebugLog(fw::Str(memoryRegionsDetected) + " MemoryRegions");
  for (const fw::Ref<MemoryRegion>& region : MemoryRegions) {
    fw::System::DebugLog(fw::Str(region->Type) + " " + fw::Hex(region->Address) + " " +
                         fw::Str(region->Size));
  }
}

// The global is empty before the value it held is destroyed, so a destructor that looks at
// the globals sees this one gone.
template <class T>
void Drop(T& global) {
  T released = std::move(global);
  global = T{};
}

}  // namespace

void SendCommand(const fw::Ref<fw::MemoryBlock>& p) {
  if constexpr (kDebugAids) DebugSendCommand(p);
  if (!p) {
    fw::System::DebugLog("SendCommand: no packet, nothing sent.");
    return;
  }
  if (p->Size() != PacketSize) fw::MsgBox("Invalid packet size.");
  const auto length = static_cast<int32_t>(p->Size());
  // The device is held for the call: code run during it may drop the global.
  if constexpr (kBuildTarget == BuildTarget::macOS) {
    const fw::Ref<MyOrvane> device = DeviceMac;
    if (!device) {
      fw::System::DebugLog("SendCommand: no device connected, nothing sent.");
      return;
    }
    device->SendMessageMemory(p, 0, length);
    if (device->Lasterror() != 0) {
      fw::System::DebugLog("Lasterror after SendMessage " + fw::Str(device->Lasterror()));
    }
  } else if constexpr (kBuildTarget == BuildTarget::Windows) {
    const fw::Ref<fw::TessikZuv> device = DeviceWin;
    if (!device) {
      fw::System::DebugLog("SendCommand: no device connected, nothing sent.");
      return;
    }
    device->SendMessageMemory(p, 0, length);
  } else {
    fw::Beep();
  }
}

fw::Ref<fw::MemoryBlock> ReadCommand(bool immediate) {
  fw::Ref<fw::MemoryBlock> answer;
  // The device is held for the call: the handlers that run while the read waits may drop the
  // global.
  if constexpr (kBuildTarget == BuildTarget::macOS) {
    const fw::Ref<MyOrvane> device = DeviceMac;
    answer = device ? device->Read(immediate) : ReadWithoutDevice(immediate);
  } else if constexpr (kBuildTarget == BuildTarget::Windows) {
    const fw::Ref<fw::TessikZuv> device = DeviceWin;
    answer = device ? device->ReadMessageMemory(static_cast<int32_t>(PacketSize))
                    : ReadWithoutDevice(immediate);
  } else {
    answer = ReadWithoutDevice(immediate);
  }
  if constexpr (kDebugAids) {
    if (answer) DebugReadCommand(answer);
  }
  return answer;
}

void DropQueuedReports() {
  if constexpr (kBuildTarget == BuildTarget::macOS) {
    if (const fw::Ref<MyOrvane> device = DeviceMac) device->DropQueued();
  }
}

bool ParseMemoryRegions(const fw::Ref<fw::MemoryBlock>& answer) {
  // No answer at all is read as one of no bytes.
  const fw::Ref<fw::MemoryBlock> bytes = answer ? answer : fw::NewMemoryBlock(0);
  // Every record is checked before any image is made: a list with a bad record is not the
  // device's layout, and half of it must not end up in the image.
  std::vector<RegionRecord> records;
  int64_t imageBytes = ImageBytesHeld();
  size_t pos = FirstRegionRecordOffset;
  for (int index = 0; index < MaxRegions; ++index, pos += RegionRecordSize) {
    const RegionRecord record{AnswerByte(*bytes, pos), AnswerInt32(*bytes, pos + 1), AnswerInt32(*bytes, pos + 5)};
    // A type byte that is there and marks the end ends the list; an answer that ends before
    // it, or inside a record, is cut short.
    if (pos < bytes->Size() && record.type == RegionEndMarker) break;
    if (!LiesInside(*bytes, pos) || !IsPossible(record)) {
      RejectRegion(index, record.address, record.size);
      return false;
    }
    imageBytes += ImageBytes(record.size);
    if (imageBytes > MaxImageBytes) {
      // Only repeated queries of the debug console can pile up this much.
      fw::MsgBox("Too many memory regions." + fw::EndOfLine + fw::EndOfLine +
                 "With these the region images would take more than " + fw::Str(MaxImageBytes / (1024 * 1024)) +
                 " MiB; none of them were added.");
      return false;
    }
    records.push_back(record);
  }
  for (const RegionRecord& record : records) MemoryRegions.push_back(NewRegion(record));
  memoryRegionsDetected = static_cast<int32_t>(MemoryRegions.size());
  if constexpr (kDebugAids) LogRegions();
  return true;
}

size_t DetectedRegionCount() {
  return std::min(static_cast<size_t>(std::max(memoryRegionsDetected, 0)), MemoryRegions.size());
}

int32_t StringToHex(std::string_view s) { return fw::IntegerFromHex(s); }

void ReleaseGlobals() {
  Drop(DeviceMac);
  Drop(MemoryRegions);
  Drop(DeviceWin);
  Drop(logfile);
  Drop(datafile);
  Drop(dataversion);
  Drop(datatitle);
}

}  // namespace HID
