// The Tessik plug-in: the class TessikZuv, the HID device class of the program's Windows build.
// In this build every operation is a stub that finds, sends and reads nothing, but the class
// keeps its whole interface so that the program's entry points resolve.
#include <cstddef>
#include <cstdint>

#include "class_definition.h"
#include "plugin_frame.h"

namespace {

using plugin::ClassData;

// The class data; every field is a plain property the host reads and writes itself.
struct TessikData {
  int32_t lasterror;               // 0
  int32_t readHandle;              // 4
  int32_t writeHandle;             // 8
  int32_t pnpHandle;               // 12
  int32_t hidHandle;               // 16
  uint8_t unused20[8];             // 20-27
  int32_t threadHandle;            // 28
  uint8_t unused32[4];             // 32-35
  int32_t inputReportByteLength;   // 36
  int32_t outputReportByteLength;  // 40
  int32_t featureReportByteLength; // 44
  uint8_t unused48[32];            // 48-79
  char16_t devicePathBuffer[1014]; // 80..: UTF-16 text ended by a 16-bit zero
};
static_assert(offsetof(TessikData, threadHandle) == 28);
static_assert(offsetof(TessikData, featureReportByteLength) == 44);
static_assert(offsetof(TessikData, devicePathBuffer) == 80);
static_assert(sizeof(TessikData) == 2108);

extern ClassDefinition g_tessikClass;

TessikData* Data(REALobject instance) { return ClassData<TessikData>(instance, g_tessikClass); }

// The class's operations, called through the host with the instance first.
REALstring PollString(REALobject) { return nullptr; }
REALmemoryBlock PollMemory(REALobject) { return nullptr; }
void Close(REALobject) {}
bool FindFirstDevice(REALobject self) {
  Data(self)->lasterror = -1;
  return false;
}
bool FindNextDevice(REALobject) { return false; }
REALstring Product(REALobject self) {
  Data(self)->lasterror = -1;
  return nullptr;
}
REALstring DevicePath(REALobject self) {
  return plugin::HostStringFromUTF16(Data(self)->devicePathBuffer);
}
REALstring Manufacturer(REALobject self) {
  Data(self)->lasterror = -1;
  return nullptr;
}
REALstring SerialNumber(REALobject self) {
  Data(self)->lasterror = -1;
  return nullptr;
}
int32_t ProductID(REALobject self) {
  Data(self)->lasterror = -1;
  return 0;
}
int32_t VendorID(REALobject self) {
  Data(self)->lasterror = -1;
  return 0;
}
int32_t VersionNumber(REALobject self) {
  Data(self)->lasterror = -1;
  return 0;
}
bool Connect(REALobject self) {
  Data(self)->lasterror = -1;
  return false;
}
void Disconnect(REALobject self) { Data(self)->lasterror = 0; }
bool InstallListener(REALobject, int32_t) { return false; }
int32_t SendMessageMemory(REALobject self, REALmemoryBlock, int32_t, int32_t) {
  Data(self)->lasterror = -1;
  return 0;
}
int32_t SendMessage(REALobject self, REALstring) {
  Data(self)->lasterror = -1;
  return 0;
}
REALstring ReadMessage(REALobject self, int32_t) {
  Data(self)->lasterror = -1;
  return nullptr;
}
REALmemoryBlock ReadMessageMemory(REALobject self, int32_t) {
  Data(self)->lasterror = -1;
  return nullptr;
}
REALstring LasterrorString(REALobject) { return nullptr; }
void Construct(REALobject) {}

using plugin::ComputedString;
using plugin::Method;
using plugin::PlainInteger;

MethodDefinition g_methods[] = {
    Method(PollString, "PollString as string"),
    Method(PollMemory, "PollMemory as memoryblock"),
    Method(Close, "Close"),
    Method(FindFirstDevice, "FindFirstDevice as boolean"),
    Method(FindNextDevice, "FindNextDevice as boolean"),
    Method(Product, "Product as string"),
    Method(DevicePath, "DevicePath as string"),
    Method(Manufacturer, "Manufacturer as string"),
    Method(SerialNumber, "SerialNumber as string"),
    Method(ProductID, "ProductID as integer"),
    Method(VendorID, "VendorID as integer"),
    Method(VersionNumber, "VersionNumber as integer"),
    Method(Connect, "Connect as boolean"),
    Method(Disconnect, "Disconnect"),
    Method(InstallListener, "InstallListener(PollSize as integer) as boolean"),
    Method(SendMessageMemory, "SendMessageMemory(data as memoryblock, offset as integer, length as integer) as integer"),
    Method(SendMessage, "SendMessage(data as string) as integer"),
    Method(ReadMessage, "ReadMessage(length as integer) as string"),
    Method(ReadMessageMemory, "ReadMessageMemory(length as integer) as memoryblock"),
};

PropertyDefinition g_properties[] = {
    PlainInteger("Lasterror", offsetof(TessikData, lasterror)),
    ComputedString("LasterrorString", LasterrorString),
    PlainInteger("ReadHandle", offsetof(TessikData, readHandle)),
    PlainInteger("WriteHandle", offsetof(TessikData, writeHandle)),
    PlainInteger("PnPHandle", offsetof(TessikData, pnpHandle)),
    PlainInteger("HidHandle", offsetof(TessikData, hidHandle)),
    PlainInteger("ThreadHandle", offsetof(TessikData, threadHandle)),
    PlainInteger("InputReportByteLength", offsetof(TessikData, inputReportByteLength)),
    PlainInteger("OutputReportByteLength", offsetof(TessikData, outputReportByteLength)),
    PlainInteger("FeatureReportByteLength", offsetof(TessikData, featureReportByteLength)),
};

ClassDefinition g_tessikClass = plugin::ClassDefinitionFor(
    "TessikZuv", sizeof(TessikData), Construct, Close, g_properties, g_methods);

}  // namespace

void plugin::PluginSetup() { RegisterClassDefinition(&g_tessikClass); }
