#include "orvane_zuv.h"

#include "host_string.h"
#include "plugin_decls/entry_points.h"
#include "plugin_decls/plugin_calls.h"

namespace fw {
namespace {

size_t FieldOffset(const char* property) {
  return static_cast<size_t>(PlainFieldOffset("OrvaneZuv", property));
}

}  // namespace

OrvaneZuv::OrvaneZuv(const ProgramClass* programClass)
    : PluginInstance("OrvaneZuv", EntryPoint(Entry::OrvaneInit), EntryPoint(Entry::OrvaneExit),
                     programClass) {}

void OrvaneZuv::Close() { EntryAs<void (*)(REALobject)>(Entry::OrvaneClose)(Handle()); }
bool OrvaneZuv::FindFirstDevice() {
  return EntryAs<bool (*)(REALobject)>(Entry::OrvaneFindFirstDevice)(Handle());
}
bool OrvaneZuv::FindNextDevice() {
  return EntryAs<bool (*)(REALobject)>(Entry::OrvaneFindNextDevice)(Handle());
}
std::string OrvaneZuv::Product() { return CallString(Entry::OrvaneProduct, Handle()); }
std::string OrvaneZuv::SerialNumber() { return CallString(Entry::OrvaneSerialNumber, Handle()); }
std::string OrvaneZuv::Manufacturer() { return CallString(Entry::OrvaneManufacturer, Handle()); }
int32_t OrvaneZuv::ProductID() {
  return EntryAs<int32_t (*)(REALobject)>(Entry::OrvaneProductID)(Handle());
}
int32_t OrvaneZuv::VendorID() {
  return EntryAs<int32_t (*)(REALobject)>(Entry::OrvaneVendorID)(Handle());
}
int32_t OrvaneZuv::VersionNumber() {
  return EntryAs<int32_t (*)(REALobject)>(Entry::OrvaneVersionNumber)(Handle());
}
void OrvaneZuv::Connect() { EntryAs<void (*)(REALobject)>(Entry::OrvaneConnect)(Handle()); }
void OrvaneZuv::Disconnect() { EntryAs<void (*)(REALobject)>(Entry::OrvaneDisconnect)(Handle()); }
void OrvaneZuv::InstallCallback() {
  EntryAs<void (*)(REALobject)>(Entry::OrvaneInstallCallback)(Handle());
}

void OrvaneZuv::SendMessageMemory(const Ref<MemoryBlock>& data, int32_t offset, int32_t length) {
  EntryAs<void (*)(REALobject, REALmemoryBlock, int32_t, int32_t)>(
      Entry::OrvaneSendMessageMemory)(Handle(), BlockHandle(data), offset, length);
}

void OrvaneZuv::SendMessage(const std::string& data) {
  ScopedHostString text(data);
  EntryAs<void (*)(REALobject, REALstring)>(Entry::OrvaneSendMessage)(Handle(), text.get());
}

void OrvaneZuv::SendMessageMemory(int32_t reportID, const Ref<MemoryBlock>& data, int32_t offset,
                                  int32_t length) {
  EntryAs<void (*)(REALobject, int32_t, REALmemoryBlock, int32_t, int32_t)>(
      Entry::OrvaneSendMessageMemoryWithReportID)(Handle(), reportID, BlockHandle(data), offset,
                                                  length);
}

void OrvaneZuv::SendMessage(int32_t reportID, const std::string& data) {
  ScopedHostString text(data);
  EntryAs<void (*)(REALobject, int32_t, REALstring)>(Entry::OrvaneSendMessageWithReportID)(
      Handle(), reportID, text.get());
}

int32_t OrvaneZuv::TimeOut() const { return Field32(FieldOffset("TimeOut")); }
void OrvaneZuv::SetTimeOut(int32_t milliseconds) { SetField32(FieldOffset("TimeOut"), milliseconds); }
int32_t OrvaneZuv::Lasterror() const { return Field32(FieldOffset("Lasterror")); }
void OrvaneZuv::SetLasterror(int32_t value) { SetField32(FieldOffset("Lasterror"), value); }

}  // namespace fw
