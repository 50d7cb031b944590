#include "entry_points.h"

#include <map>
#include <memory>

#include "plugin_host.h"

namespace fw {

const std::array<std::string_view, kEntryCount> kEntryDeclarations = {
    "OrvaneZuv.__init",
    "OrvaneZuv.__exit",
    "OrvaneZuv.Close",
    "OrvaneZuv.FindFirstDevice as boolean",
    "OrvaneZuv.FindNextDevice as boolean",
    "OrvaneZuv.Product as string",
    "OrvaneZuv.SerialNumber as string",
    "OrvaneZuv.Manufacturer as string",
    "OrvaneZuv.ProductID as integer",
    "OrvaneZuv.VendorID as integer",
    "OrvaneZuv.VersionNumber as integer",
    "OrvaneZuv.Connect",
    "OrvaneZuv.Disconnect",
    "OrvaneZuv.InstallCallback",
    "OrvaneZuv.SendMessageMemory(data as memoryblock, offset as integer, length as integer)",
    "OrvaneZuv.SendMessage(data as string)",
    "OrvaneZuv.SendMessageMemory(ReportID as integer, data as memoryblock, offset as integer, "
    "length as integer)",
    "OrvaneZuv.SendMessage(ReportID as integer, data as string)",
    "TessikZuv.__init",
    "TessikZuv.__exit",
    "TessikZuv.PollString as string",
    "TessikZuv.PollMemory as memoryblock",
    "TessikZuv.Close",
    "TessikZuv.FindFirstDevice as boolean",
    "TessikZuv.FindNextDevice as boolean",
    "TessikZuv.Product as string",
    "TessikZuv.DevicePath as string",
    "TessikZuv.Manufacturer as string",
    "TessikZuv.SerialNumber as string",
    "TessikZuv.ProductID as integer",
    "TessikZuv.VendorID as integer",
    "TessikZuv.VersionNumber as integer",
    "TessikZuv.Connect as boolean",
    "TessikZuv.Disconnect",
    "TessikZuv.InstallListener(PollSize as integer) as boolean",
    "TessikZuv.SendMessageMemory(data as memoryblock, offset as integer, length as integer) as "
    "integer",
    "TessikZuv.SendMessage(data as string) as integer",
    "TessikZuv.ReadMessage(length as integer) as string",
    "TessikZuv.ReadMessageMemory(length as integer) as memoryblock",
    "TessikZuv.LasterrorString.Get",
};

namespace {

constexpr PlainProperty kPlainProperties[] = {
    {"OrvaneZuv", "TimeOut"},
    {"OrvaneZuv", "Lasterror"},
    {"TessikZuv", "Lasterror"},
    {"TessikZuv", "ReadHandle"},
    {"TessikZuv", "WriteHandle"},
    {"TessikZuv", "PnPHandle"},
    {"TessikZuv", "HidHandle"},
    {"TessikZuv", "ThreadHandle"},
    {"TessikZuv", "InputReportByteLength"},
    {"TessikZuv", "OutputReportByteLength"},
    {"TessikZuv", "FeatureReportByteLength"},
};

using EntryPointTable = std::array<void*, kEntryCount>;

std::unique_ptr<EntryPointTable> g_table;
std::map<std::string, long, std::less<>> g_fieldOffsets;

std::unique_ptr<EntryPointTable> RuntimeAllocatePluginEntrypointsTable() {
  return std::make_unique<EntryPointTable>();
}

void* RuntimeLookupPluginEntrypoint(std::string_view text) {
  return PluginHost::Instance().LookupEntrypoint(text);
}

std::string FieldKey(std::string_view className, std::string_view property) {
  return std::string(className) + "." + std::string(property);
}

}  // namespace

std::vector<std::string> InitPluginEntrypoints() {
  g_table = RuntimeAllocatePluginEntrypointsTable();
  std::vector<std::string> unresolved;
  for (size_t i = 0; i < kEntryCount; ++i) {
    (*g_table)[i] = RuntimeLookupPluginEntrypoint(kEntryDeclarations[i]);
    if (!(*g_table)[i]) unresolved.emplace_back(kEntryDeclarations[i]);
  }
  g_fieldOffsets.clear();
  for (const PlainProperty& property : kPlainProperties) {
    const RegisteredClass* cls = PluginHost::Instance().FindClass(property.className);
    const long offset = cls ? cls->PlainFieldOffset(property.name) : -1;
    g_fieldOffsets[FieldKey(property.className, property.name)] = offset;
    if (offset < 0) unresolved.push_back(FieldKey(property.className, property.name));
  }
  return unresolved;
}

void* EntryPoint(Entry entry) {
  return g_table ? (*g_table)[static_cast<size_t>(entry)] : nullptr;
}

long PlainFieldOffset(std::string_view className, std::string_view property) {
  auto it = g_fieldOffsets.find(FieldKey(className, property));
  return it == g_fieldOffsets.end() ? -1 : it->second;
}

}  // namespace fw
