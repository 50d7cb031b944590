// The program's table of plug-in entry points. It is filled once at start-up, in this fixed
// order, one entry per plug-in operation the program declares, each looked up by the full text
// of its declaration. Every call of a plug-in operation goes through its entry.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

enum class Entry : size_t {
  OrvaneInit,
  OrvaneExit,
  OrvaneClose,
  OrvaneFindFirstDevice,
  OrvaneFindNextDevice,
  OrvaneProduct,
  OrvaneSerialNumber,
  OrvaneManufacturer,
  OrvaneProductID,
  OrvaneVendorID,
  OrvaneVersionNumber,
  OrvaneConnect,
  OrvaneDisconnect,
  OrvaneInstallCallback,
  OrvaneSendMessageMemory,
  OrvaneSendMessage,
  OrvaneSendMessageMemoryWithReportID,
  OrvaneSendMessageWithReportID,
  TessikInit,
  TessikExit,
  TessikPollString,
  TessikPollMemory,
  TessikClose,
  TessikFindFirstDevice,
  TessikFindNextDevice,
  TessikProduct,
  TessikDevicePath,
  TessikManufacturer,
  TessikSerialNumber,
  TessikProductID,
  TessikVendorID,
  TessikVersionNumber,
  TessikConnect,
  TessikDisconnect,
  TessikInstallListener,
  TessikSendMessageMemory,
  TessikSendMessage,
  TessikReadMessage,
  TessikReadMessageMemory,
  TessikLasterrorStringGet,
  Count
};

constexpr size_t kEntryCount = static_cast<size_t>(Entry::Count);

// The declaration text of every entry, in table order.
extern const std::array<std::string_view, kEntryCount> kEntryDeclarations;

// A plain property the program reads and writes itself in a plug-in instance's class data.
struct PlainProperty {
  std::string_view className;
  std::string_view name;
};

// Allocates the table (RuntimeAllocatePluginEntrypointsTable) and fills it in order
// (RuntimeLookupPluginEntrypoint per text), then resolves the plain properties' field
// offsets. Returns the declarations that stayed unresolved.
std::vector<std::string> InitPluginEntrypoints();

// The entry of an operation, as a function pointer of the declared signature. Only valid after
// InitPluginEntrypoints resolved every entry; start-up refuses to go on otherwise.
void* EntryPoint(Entry entry);

template <class Function>
Function EntryAs(Entry entry) {
  return reinterpret_cast<Function>(EntryPoint(entry));
}

// The field offset of a plain property, resolved by InitPluginEntrypoints (-1 if unresolved).
long PlainFieldOffset(std::string_view className, std::string_view property);

}  // namespace fw
