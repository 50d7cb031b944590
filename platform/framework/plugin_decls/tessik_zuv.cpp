#include "tessik_zuv.h"

#include "host_string.h"
#include "plugin_decls/entry_points.h"
#include "plugin_decls/plugin_calls.h"

namespace fw {

TessikZuv::TessikZuv()
    : PluginInstance("TessikZuv", EntryPoint(Entry::TessikInit), EntryPoint(Entry::TessikExit),
                     nullptr) {}

std::string TessikZuv::PollString() { return CallString(Entry::TessikPollString, Handle()); }
Ref<MemoryBlock> TessikZuv::PollMemory() {
  return AdoptMemoryBlock(EntryAs<REALmemoryBlock (*)(REALobject)>(Entry::TessikPollMemory)(Handle()));
}
void TessikZuv::Close() { EntryAs<void (*)(REALobject)>(Entry::TessikClose)(Handle()); }
bool TessikZuv::FindFirstDevice() {
  return EntryAs<bool (*)(REALobject)>(Entry::TessikFindFirstDevice)(Handle());
}
bool TessikZuv::FindNextDevice() {
  return EntryAs<bool (*)(REALobject)>(Entry::TessikFindNextDevice)(Handle());
}
std::string TessikZuv::Product() { return CallString(Entry::TessikProduct, Handle()); }
std::string TessikZuv::DevicePath() { return CallString(Entry::TessikDevicePath, Handle()); }
std::string TessikZuv::Manufacturer() { return CallString(Entry::TessikManufacturer, Handle()); }
std::string TessikZuv::SerialNumber() { return CallString(Entry::TessikSerialNumber, Handle()); }
int32_t TessikZuv::ProductID() {
  return EntryAs<int32_t (*)(REALobject)>(Entry::TessikProductID)(Handle());
}
int32_t TessikZuv::VendorID() {
  return EntryAs<int32_t (*)(REALobject)>(Entry::TessikVendorID)(Handle());
}
int32_t TessikZuv::VersionNumber() {
  return EntryAs<int32_t (*)(REALobject)>(Entry::TessikVersionNumber)(Handle());
}
bool TessikZuv::Connect() { return EntryAs<bool (*)(REALobject)>(Entry::TessikConnect)(Handle()); }
void TessikZuv::Disconnect() { EntryAs<void (*)(REALobject)>(Entry::TessikDisconnect)(Handle()); }
bool TessikZuv::InstallListener(int32_t pollSize) {
  return EntryAs<bool (*)(REALobject, int32_t)>(Entry::TessikInstallListener)(Handle(), pollSize);
}
int32_t TessikZuv::SendMessageMemory(const Ref<MemoryBlock>& data, int32_t offset,
                                     int32_t length) {
  return EntryAs<int32_t (*)(REALobject, REALmemoryBlock, int32_t, int32_t)>(
      Entry::TessikSendMessageMemory)(Handle(), BlockHandle(data), offset, length);
}
int32_t TessikZuv::SendMessage(const std::string& data) {
  ScopedHostString text(data);
  return EntryAs<int32_t (*)(REALobject, REALstring)>(Entry::TessikSendMessage)(Handle(),
                                                                               text.get());
}
std::string TessikZuv::ReadMessage(int32_t length) {
  return AdoptHostString(
      EntryAs<REALstring (*)(REALobject, int32_t)>(Entry::TessikReadMessage)(Handle(), length));
}
Ref<MemoryBlock> TessikZuv::ReadMessageMemory(int32_t length) {
  return AdoptMemoryBlock(EntryAs<REALmemoryBlock (*)(REALobject, int32_t)>(
      Entry::TessikReadMessageMemory)(Handle(), length));
}
std::string TessikZuv::LasterrorString() {
  return CallString(Entry::TessikLasterrorStringGet, Handle());
}

int32_t TessikZuv::Property(const char* name) const {
  return Field32(static_cast<size_t>(PlainFieldOffset("TessikZuv", name)));
}

void TessikZuv::SetProperty(const char* name, int32_t value) {
  SetField32(static_cast<size_t>(PlainFieldOffset("TessikZuv", name)), value);
}

}  // namespace fw
