#include "traffic_log.h"

#include <algorithm>
#include <utility>

#include "background_task.h"
#include "build_settings.h"
#include "command_packets.h"
#include "device_geometry.h"
#include "hid.h"
#include "system_log.h"
#include "text_functions.h"
#include "zuv_utilities.h"

namespace HID {
namespace {

void WriteLogLine(const std::string& line) {
  if (logfile) logfile->WriteLine(line);
}

// The n data bytes of a PROGRAM_DEVICE packet or a GET_DATA answer: right-aligned in the data
// field, where the programming step puts them and the verifying step reads them. An answer
// too short for a field shows it as 0, and of its data only what it holds.
std::string DataBytes(const fw::MemoryBlock& p) {
  const size_t n = std::min<size_t>(AnswerByte(p, SizeOffset), MaxDataBytes);
  return p.StringValue(PacketSize - n, n);
}

std::string SendLine(const fw::MemoryBlock& p, uint8_t code) {
  switch (code) {
    case QUERY_DEVICE:
      return "Sending QUERY_DEVICE.";
    case ERASE_DEVICE:
      return "Sending ERASE_DEVICE.";
    case PROGRAM_COMPLETE:
      return "Sending PROGRAM_COMPLETE.";
    case GET_DATA:
      return "Sending GET_DATA. Address: " + fw::Hex(p.Int32Value(AddressOffset));
    case RESET_DEVICE:
      return "Sending RESET_DEVICE.";
    default:
      return "Sending " + fw::Hex(code);
  }
}

// Device addresses are 32-bit: an image offset past the end of the address space wraps, as
// it does on the device.
int32_t AddressAt(int32_t base, int64_t offset) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(base) + offset));
}

}  // namespace

std::string AddressLine(int32_t address, std::string_view bytes) {
  return "Address: " + hex6(address) + " " + EncodingToHexZuv(bytes);
}

void DebugSendCommand(const fw::Ref<fw::MemoryBlock>& p) {
  if (!p) return;
  const uint8_t code = p->UInt8Value(CommandOffset);
  if (code == PROGRAM_DEVICE) {
    // Programming traffic is too much for the system log; it goes to the file only.
    if (logfile) WriteLogLine(AddressLine(p->Int32Value(AddressOffset), DataBytes(*p)));
    return;
  }
  fw::System::DebugLog(SendLine(*p, code));
}

void DebugReadCommand(const fw::Ref<fw::MemoryBlock>& p) {
  if (!p || AnswerByte(*p, CommandOffset) != GET_DATA) return;
  if (logfile) WriteLogLine(AddressLine(AnswerInt32(*p, AddressOffset), DataBytes(*p)));
}

void InitLog(std::string_view name) {
  if constexpr (!kDebugAids) return;
  // The earlier stream goes first: the new file may be the same file.
  logfile = nullptr;
  fw::Ref<fw::FolderItem> item = fw::GetFolderItem(name);
  if (item) logfile = item->CreateTextFile();
  if (!logfile) fw::System::DebugLog("Cannot create the log file " + std::string(name) + ".");
}

void DumpMemoryRegions() {
  InitLog("Memory.txt");
  // By index: the list is the module's, and the yields below must not invalidate the loop.
  for (size_t i = 0; i < MemoryRegions.size(); ++i) {
    const fw::Ref<MemoryRegion> region = MemoryRegions[i];
    // Every address of the region holds bytesPerAddress image bytes, as the loader, the
    // programming and the verification count them.
    const int64_t bytesPerAddress = ImageBytesPerAddress();
    const int64_t imageBytes = int64_t{region->Size} * bytesPerAddress;
    for (int64_t pos = 0; pos < imageBytes; pos += MaxDataBytes) {
      const int64_t count = std::min<int64_t>(imageBytes - pos, MaxDataBytes);
      const std::string bytes =
          region->data ? region->data->StringValue(static_cast<size_t>(pos),
                                                   static_cast<size_t>(count))
                       : std::string();
      WriteLogLine(AddressLine(AddressAt(region->Address, pos / bytesPerAddress), bytes));
      fw::RuntimeBackgroundTask();
    }
    fw::RuntimeBackgroundTask();
  }
}

std::string hex6(int32_t n) {
  std::string s = fw::Hex(n);
  while (s.size() < 6) {
    s = "0" + s;
    fw::RuntimeBackgroundTask();
  }
  return s;
}

}  // namespace HID
