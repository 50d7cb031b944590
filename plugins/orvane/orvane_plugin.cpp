// The Orvane plug-in: the class OrvaneZuv, the HID device class of the program's macOS build,
// and the event bridge that carries its device call-backs to the main thread.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

#include "event_bridge.h"
#include "orvane_class_data.h"
#include "orvane_device.h"
#include "class_definition.h"
#include "plugin_frame.h"

namespace orvane {
namespace {

// An instance goes away: besides closing, its queued events must never reach it.
void Destroy(REALobject self) {
  Close(self);
  DropQueuedEvents(self);
}

using plugin::Method;
using plugin::PlainInteger;

MethodDefinition g_methods[] = {
    Method(Close, "Close"),
    Method(FindFirstDevice, "FindFirstDevice as boolean"),
    Method(FindNextDevice, "FindNextDevice as boolean"),
    Method(Product, "Product as string"),
    Method(SerialNumber, "SerialNumber as string"),
    Method(Manufacturer, "Manufacturer as string"),
    Method(ProductID, "ProductID as integer"),
    Method(VendorID, "VendorID as integer"),
    Method(VersionNumber, "VersionNumber as integer"),
    Method(Connect, "Connect"),
    Method(Disconnect, "Disconnect"),
    Method(InstallCallback, "InstallCallback"),
    Method(SendMessageMemory, "SendMessageMemory(data as memoryblock, offset as integer, length as integer)"),
    Method(SendMessage, "SendMessage(data as string)"),
    Method(SendMessageMemoryWithReportID, "SendMessageMemory(ReportID as integer, data as memoryblock, offset as integer, length as "
     "integer)"),
    Method(SendMessageWithReportID, "SendMessage(ReportID as integer, data as string)"),
};

PropertyDefinition g_properties[] = {
    PlainInteger("Lasterror", offsetof(OrvaneData, lasterror)),
    PlainInteger("TimeOut", offsetof(OrvaneData, timeOut)),
};

ClassDefinition g_orvaneClass = plugin::ClassDefinitionFor(
    "OrvaneZuv", sizeof(OrvaneData), Construct, Destroy, g_properties, g_methods, ClassEvents());

}  // namespace

OrvaneData& DataOf(REALobject instance) {
  return *plugin::ClassData<OrvaneData>(instance, g_orvaneClass);
}

std::span<uint8_t> ReportBufferOf(OrvaneData& data) {
  const std::span<uint8_t> area(data.reportBufferArea);
  const auto address = reinterpret_cast<uintptr_t>(area.data());
  const size_t skip =
      (kReportBufferAlignment - address % kReportBufferAlignment) % kReportBufferAlignment;
  return area.subspan(skip, kReportBufferSize);
}

}  // namespace orvane

void plugin::PluginSetup() {
  using namespace orvane;
  // The handler must be in place before any instance can exist to post to it.
  InstallEventBridge();
  RegisterClassDefinition(&g_orvaneClass);
}
