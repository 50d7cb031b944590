// The bootloader's wire format: every command and every answer is one 64-byte HID report
// with little-endian fields. The builders here make the five commands the updater sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "memory_block.h"

namespace HID {

inline constexpr size_t PacketSize = 64;
inline constexpr int32_t MaxDataBytes = 58;  // 64 less the six header bytes
inline constexpr int MaxRegions = 6;
inline constexpr uint8_t RegionEndMarker = 255;

// Command codes (byte 0 of a packet; an answer repeats the code of its command).
inline constexpr uint8_t QUERY_DEVICE = 2;
inline constexpr uint8_t ERASE_DEVICE = 4;
inline constexpr uint8_t PROGRAM_DEVICE = 5;
inline constexpr uint8_t PROGRAM_COMPLETE = 6;
inline constexpr uint8_t GET_DATA = 7;
inline constexpr uint8_t RESET_DEVICE = 8;  // never sent; only the traffic log names it

// Field offsets of a CommandPacket. PROGRAM_DEVICE data and GET_DATA answer data are
// right-aligned in the data field: n bytes occupy bytes 64 - n to 63.
inline constexpr size_t CommandOffset = 0;
inline constexpr size_t AddressOffset = 1;
inline constexpr size_t SizeOffset = 5;
inline constexpr size_t DataOffset = 6;

// Where a QueryDeviceAnswer keeps its fields.
inline constexpr size_t BytesPerPacketOffset = 1;
inline constexpr size_t DeviceFamilyOffset = 2;
inline constexpr size_t FirstRegionRecordOffset = 3;
inline constexpr size_t RegionRecordSize = 9;  // Type, Address (4), Size (4)

// A field of a report as far as the report reaches: 0 for a field a short report does not
// hold, so that such a report fails the checks of its reader like any other wrong one.
uint8_t AnswerByte(const fw::MemoryBlock& report, size_t offset);
int32_t AnswerInt32(const fw::MemoryBlock& report, size_t offset);

// A new zero-filled 64-byte little-endian packet.
fw::Ref<fw::MemoryBlock> NewPacket();

fw::Ref<fw::MemoryBlock> GetQueryDeviceCommand();
fw::Ref<fw::MemoryBlock> GetEraseDeviceCommand();
fw::Ref<fw::MemoryBlock> GetProgramCompleteCommand();

// data is the whole 58-byte data field, the bytes to write at its end. Warns "Data is too
// short" when data holds fewer than size bytes and "Data is length is wrong" when it is not
// 58 bytes long, and builds the packet anyway (copying the bytes there are); nullptr when
// size is above 58.
fw::Ref<fw::MemoryBlock> GetProgramDeviceCommand(int32_t address, int32_t size,
                                                 const std::string& data);

// nullptr when size is above 58, without a message.
fw::Ref<fw::MemoryBlock> GetGetDataCommand(int32_t address, int32_t size);

}  // namespace HID
