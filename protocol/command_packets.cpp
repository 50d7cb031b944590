#include "command_packets.h"

#include "alerts.h"

namespace HID {
namespace {

fw::Ref<fw::MemoryBlock> PacketWithCode(uint8_t code) {
  fw::Ref<fw::MemoryBlock> p = NewPacket();
  p->SetUInt8Value(CommandOffset, code);
  return p;
}

// The address goes out as the bit pattern of the 32-bit Integer and the size as its low byte:
// the wire has one byte for it, and the callers have already refused sizes above 58.
void SetAddressAndSize(fw::MemoryBlock& p, int32_t address, int32_t size) {
  p.SetUInt32Value(AddressOffset, static_cast<uint32_t>(address));
  p.SetUInt8Value(SizeOffset, static_cast<uint8_t>(size & 0xFF));
}

}  // namespace

fw::Ref<fw::MemoryBlock> NewPacket() {
  fw::Ref<fw::MemoryBlock> p = fw::NewMemoryBlock(PacketSize);
  p->LittleEndian = true;
  return p;
}

fw::Ref<fw::MemoryBlock> GetQueryDeviceCommand() { return PacketWithCode(QUERY_DEVICE); }
fw::Ref<fw::MemoryBlock> GetEraseDeviceCommand() { return PacketWithCode(ERASE_DEVICE); }
fw::Ref<fw::MemoryBlock> GetProgramCompleteCommand() { return PacketWithCode(PROGRAM_COMPLETE); }

fw::Ref<fw::MemoryBlock> GetProgramDeviceCommand(int32_t address, int32_t size,
                                                 const std::string& data) {
  fw::Ref<fw::MemoryBlock> p = NewPacket();
  const auto length = static_cast<int64_t>(data.size());
  if (length < size) fw::MsgBox("Data is too short");
  if (length != MaxDataBytes) fw::MsgBox("Data is length is wrong");
  if (size > MaxDataBytes) return nullptr;
  p->SetUInt8Value(CommandOffset, PROGRAM_DEVICE);
  SetAddressAndSize(*p, address, size);
  p->SetStringValue(DataOffset, MaxDataBytes, data);
  return p;
}

fw::Ref<fw::MemoryBlock> GetGetDataCommand(int32_t address, int32_t size) {
  fw::Ref<fw::MemoryBlock> p = NewPacket();
  if (size > MaxDataBytes) return nullptr;
  p->SetUInt8Value(CommandOffset, GET_DATA);
  SetAddressAndSize(*p, address, size);
  return p;
}

uint8_t AnswerByte(const fw::MemoryBlock& report, size_t offset) {
  return offset < report.Size() ? report.UInt8Value(offset) : 0;
}

int32_t AnswerInt32(const fw::MemoryBlock& report, size_t offset) {
  return offset <= report.Size() && report.Size() - offset >= 4 ? report.Int32Value(offset) : 0;
}

}  // namespace HID
