// The HID module: the program's one link to the device and the shared state of the update.
// Every command leaves through SendCommand and every answer arrives through ReadCommand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "folder_item.h"
#include "memory_block.h"
#include "memory_region.h"
#include "my_orvane.h"
#include "plugin_decls/tessik_zuv.h"

namespace HID {

// The update payload, from the logo image at start-up.
extern std::string dataversion;
extern std::string datatitle;
extern std::string datafile;  // the firmware as Intel HEX text
extern int32_t VendorID;
extern int32_t ProductID;

// The connected device, set by the device search (the macOS or the Windows build's class).
extern bool DeviceFound;
extern fw::Ref<MyOrvane> DeviceMac;
extern fw::Ref<fw::TessikZuv> DeviceWin;

// The device's geometry and memory, from its answer to QUERY_DEVICE.
extern std::vector<fw::Ref<MemoryRegion>> MemoryRegions;
extern int32_t memoryRegionsDetected;
extern int32_t BytesPerPacket;
extern int32_t DeviceFamily;
extern int32_t bytesPerAddress;

// The traffic log file (debug builds); nullptr while no log is open.
extern fw::Ref<fw::TextOutputStream> logfile;

// The largest region image the program accepts, and the most that all images together may
// take. Far above any flash a device of this kind has, and small enough that a corrupt answer,
// or many answers (each parse appends), cannot exhaust memory.
inline constexpr int32_t MaxRegionSize = 16 * 1024 * 1024;
inline constexpr int64_t MaxImageBytes = 64 * 1024 * 1024;

// Sends p to the connected device as one output report. A packet that is not 64 bytes is
// sent all the same, after the message "Invalid packet size.". Without a packet or without
// a connected device nothing is sent; a failed send is only logged.
void SendCommand(const fw::Ref<fw::MemoryBlock>& p);

// The newest answer received and not yet read, or nullptr when none came: immediate, after
// one pass of the event loop; otherwise within two seconds, the event loop running all the
// while. Without a connected device the call waits the same and gives nullptr.
fw::Ref<fw::MemoryBlock> ReadCommand(bool immediate);

// Drops the reports received and not read yet, one debug-log line for each, so that the
// answer awaited after the next command cannot be an older report. Called right before such
// a command is sent. The Windows build's device keeps no queue of its own: nothing to drop.
void DropQueuedReports();

// Appends one MemoryRegion per RegionRecord of a QueryDeviceAnswer to MemoryRegions and sets
// memoryRegionsDetected to the number of entries. One impossible record makes the whole answer
// unusable: nothing of it is appended, the user is told, and the result is false, so that the
// update stops before anything is erased. A record is impossible when the answer ends inside
// it, when its Size is negative or above MaxRegionSize, when it runs past the device's last
// address 0xFFFFFFFF, when its byte range (at the bytes per address of the device's family, 1
// while none is known) leaves the signed 32-bit range, or
// when its image would take all images past MaxImageBytes (a message of its own: only
// repeated queries pile up that much). An image holds Size addresses of
// that many bytes each, preset to 0xFF, and 10 spare bytes.
[[nodiscard]] bool ParseMemoryRegions(const fw::Ref<fw::MemoryBlock>& answer);

// How many regions the update steps walk: memoryRegionsDetected, but never more than
// MemoryRegions holds, nor below 0.
size_t DetectedRegionCount();

// The value of s read as hexadecimal digits, as a 32-bit Integer.
int32_t StringToHex(std::string_view s);

// Drops the globals that hold objects or texts, in the order the program releases them at
// quit: the device first (its destructor closes the connection), then the regions, the
// Windows device, the log file and the payload texts.
void ReleaseGlobals();

}  // namespace HID
