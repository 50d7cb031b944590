// The Tessik plug-in: the class TessikZuv, the HID device class of the program's Windows build.
// In this build every operation is a stub that finds, sends and reads nothing, but the class
// keeps its whole interface so that the program's entry points resolve.
#include <cstddef>
#include <cstdint>

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

template <class Function>
void* Fn(Function function) {
  return reinterpret_cast<void*>(function);
}

constexpr uintptr_t kMethodFlags = 4;
constexpr uintptr_t kPropertyFlags = 6;
constexpr uintptr_t kClassFlags = 4;

MethodDefinition g_methods[] = {
    {Fn(PollString), nullptr, "PollString as string", kMethodFlags},
    {Fn(PollMemory), nullptr, "PollMemory as memoryblock", kMethodFlags},
    {Fn(Close), nullptr, "Close", kMethodFlags},
    {Fn(FindFirstDevice), nullptr, "FindFirstDevice as boolean", kMethodFlags},
    {Fn(FindNextDevice), nullptr, "FindNextDevice as boolean", kMethodFlags},
    {Fn(Product), nullptr, "Product as string", kMethodFlags},
    {Fn(DevicePath), nullptr, "DevicePath as string", kMethodFlags},
    {Fn(Manufacturer), nullptr, "Manufacturer as string", kMethodFlags},
    {Fn(SerialNumber), nullptr, "SerialNumber as string", kMethodFlags},
    {Fn(ProductID), nullptr, "ProductID as integer", kMethodFlags},
    {Fn(VendorID), nullptr, "VendorID as integer", kMethodFlags},
    {Fn(VersionNumber), nullptr, "VersionNumber as integer", kMethodFlags},
    {Fn(Connect), nullptr, "Connect as boolean", kMethodFlags},
    {Fn(Disconnect), nullptr, "Disconnect", kMethodFlags},
    {Fn(InstallListener), nullptr, "InstallListener(PollSize as integer) as boolean", kMethodFlags},
    {Fn(SendMessageMemory), nullptr,
     "SendMessageMemory(data as memoryblock, offset as integer, length as integer) as integer",
     kMethodFlags},
    {Fn(SendMessage), nullptr, "SendMessage(data as string) as integer", kMethodFlags},
    {Fn(ReadMessage), nullptr, "ReadMessage(length as integer) as string", kMethodFlags},
    {Fn(ReadMessageMemory), nullptr, "ReadMessageMemory(length as integer) as memoryblock",
     kMethodFlags},
};

void* const kPlain = reinterpret_cast<void*>(kPlainField);

PropertyDefinition PlainInteger(const char* name, size_t offset) {
  return {0, name, "Integer", kPropertyFlags, kPlain, kPlain, offset, {}};
}

PropertyDefinition g_properties[] = {
    PlainInteger("Lasterror", offsetof(TessikData, lasterror)),
    {0, "LasterrorString", "String", kPropertyFlags, Fn(LasterrorString), nullptr, 0, {}},
    PlainInteger("ReadHandle", offsetof(TessikData, readHandle)),
    PlainInteger("WriteHandle", offsetof(TessikData, writeHandle)),
    PlainInteger("PnPHandle", offsetof(TessikData, pnpHandle)),
    PlainInteger("HidHandle", offsetof(TessikData, hidHandle)),
    PlainInteger("ThreadHandle", offsetof(TessikData, threadHandle)),
    PlainInteger("InputReportByteLength", offsetof(TessikData, inputReportByteLength)),
    PlainInteger("OutputReportByteLength", offsetof(TessikData, outputReportByteLength)),
    PlainInteger("FeatureReportByteLength", offsetof(TessikData, featureReportByteLength)),
};

ClassDefinition g_tessikClass = {
    kPluginInterfaceVersion,
    "TessikZuv",
    nullptr,
    sizeof(TessikData),
    0,
    Construct,
    Close,
    g_properties,
    sizeof g_properties / sizeof g_properties[0],
    g_methods,
    sizeof g_methods / sizeof g_methods[0],
    nullptr,
    0,
    {},
    kClassFlags,
    {},
};

}  // namespace

void plugin::PluginSetup() { RegisterClassDefinition(&g_tessikClass); }
