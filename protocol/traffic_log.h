// What a developer sees of the bootloader traffic: a system-log line for every command sent
// (but PROGRAM_DEVICE), address lines in the log file for the packets that carry data, and a
// dump of the memory image. Only builds with the debug aids write the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "memory_block.h"

namespace HID {

// Log one packet about to be sent / one answer just read.
void DebugSendCommand(const fw::Ref<fw::MemoryBlock>& p);
void DebugReadCommand(const fw::Ref<fw::MemoryBlock>& p);

// Opens the log file name next to the application, replacing a file of that name, and makes
// it HID::logfile in place of the one open before. Does nothing without the debug aids.
void InitLog(std::string_view name);

// Writes the whole memory image to "Memory.txt", which stays the log file afterwards.
void DumpMemoryRegions();

// The hexadecimal text of n with at least six digits: hex6(4096) is "001000".
std::string hex6(int32_t n);

// "Address: " + hex6(address) + " " + the bytes in hexadecimal.
std::string AddressLine(int32_t address, std::string_view bytes);

}  // namespace HID
