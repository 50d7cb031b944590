#include "hid.h"

#include <utility>

#include "alerts.h"
#include "build_settings.h"
#include "command_packets.h"
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

fw::Ref<MemoryRegion> NewRegion(uint8_t type, int32_t address, int32_t size) {
  fw::Ref<MemoryRegion> region = fw::MakeRef<MemoryRegion>();
  region->Type = type;
  region->Address = address;
  region->Size = size;
  region->data = fw::NewMemoryBlock(static_cast<size_t>(size) + kImageSpareBytes);
  FillBytesZuv(*region->data, 0, size, 0xFF);
  return region;
}

void RejectRegion(int index, int32_t address, int32_t size) {
  fw::MsgBox("Invalid memory region reported by device." + fw::EndOfLine + fw::EndOfLine +
             "Region " + fw::Str(index + 1) + ": address " + fw::Hex(address) + ", size " +
             fw::Str(size));
}

void LogRegions() {
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
  if constexpr (kBuildTarget == BuildTarget::macOS) {
    if (!DeviceMac) {
      fw::System::DebugLog("SendCommand: no device connected, nothing sent.");
      return;
    }
    DeviceMac->SendMessageMemory(p, 0, length);
    if (DeviceMac->Lasterror() != 0) {
      fw::System::DebugLog("Lasterror after SendMessage " + fw::Str(DeviceMac->Lasterror()));
    }
  } else if constexpr (kBuildTarget == BuildTarget::Windows) {
    if (!DeviceWin) {
      fw::System::DebugLog("SendCommand: no device connected, nothing sent.");
      return;
    }
    DeviceWin->SendMessageMemory(p, 0, length);
  } else {
    fw::Beep();
  }
}

fw::Ref<fw::MemoryBlock> ReadCommand(bool immediate) {
  fw::Ref<fw::MemoryBlock> answer;
  if constexpr (kBuildTarget == BuildTarget::macOS) {
    if (DeviceMac) answer = DeviceMac->Read(immediate);
  } else if constexpr (kBuildTarget == BuildTarget::Windows) {
    if (DeviceWin) answer = DeviceWin->ReadMessageMemory(static_cast<int32_t>(PacketSize));
  }
  if constexpr (kDebugAids) {
    if (answer) DebugReadCommand(answer);
  }
  return answer;
}

bool ParseMemoryRegions(const fw::Ref<fw::MemoryBlock>& answer) {
  // Every record is checked before any is appended: a list with a bad record is not the
  // device's layout, and half of it must not end up in the image.
  std::vector<fw::Ref<MemoryRegion>> parsed;
  size_t pos = FirstRegionRecordOffset;
  for (int index = 0; answer && index < MaxRegions; ++index, pos += RegionRecordSize) {
    const uint8_t type = answer->UInt8Value(pos);
    if (type == RegionEndMarker) break;
    const int32_t address = answer->Int32Value(pos + 1);
    const int32_t size = answer->Int32Value(pos + 5);
    if (size < 0 || size > MaxRegionSize) {
      RejectRegion(index, address, size);
      return false;
    }
    parsed.push_back(NewRegion(type, address, size));
  }
  MemoryRegions.insert(MemoryRegions.end(), parsed.begin(), parsed.end());
  memoryRegionsDetected = static_cast<int32_t>(MemoryRegions.size());
  if constexpr (kDebugAids) LogRegions();
  return true;
}

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
