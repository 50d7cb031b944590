#include "event_bridge.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>

#include "orvane_class_data.h"
#include "os/carbon_events.h"
#include "plugin_frame.h"

namespace orvane {
namespace {

constexpr OSType kEventClassZuv = OSFourCharCode("ZuvH");
constexpr UInt32 kEventKindReport = OSFourCharCode("HIDe");
constexpr UInt32 kEventKindRemoved = OSFourCharCode("HIDr");
constexpr EventParamName kParamData = OSFourCharCode("Data");
constexpr EventParamName kParamSize = OSFourCharCode("Size");
constexpr EventParamName kParamInstance = OSFourCharCode("Inst");
constexpr EventParamName kParamResult = OSFourCharCode("Resu");

constexpr EventTypeSpec kHIDEventTypes[] = {{kEventClassZuv, kEventKindReport},
                                            {kEventClassZuv, kEventKindRemoved}};

enum EventIndex : size_t { kReceivedData = 0, kDeviceRemoved = 1 };

EventDefinition g_events[] = {
    {"ReceivedData(data as string, size as integer)", 0},
    {"DeviceRemoved(result as integer)", 0},
};

EventQueueRef g_mainQueue = nullptr;
bool g_bridgeInstalled = false;

using ReceivedDataHandler = void (*)(REALobject, REALstring, int32_t);
using DeviceRemovedHandler = void (*)(REALobject, int32_t);

struct FreeDeleter {
  void operator()(void* block) const { std::free(block); }
};
using ReportCopy = std::unique_ptr<uint8_t, FreeDeleter>;

// Every parameter travels as 'magn', at the width of the value it carries: pointers are
// pointer-sized on this machine.
template <class Value>
void SetParameter(EventRef event, EventParamName name, const Value& value) {
  SetEventParameter(event, name, typeUInt32, sizeof value, &value);
}

// A missing parameter reads as 0.
template <class Value>
Value Parameter(EventRef event, EventParamName name) {
  Value value{};
  if (GetEventParameter(event, name, typeUInt32, nullptr, sizeof value, nullptr, &value) != noErr) {
    return Value{};
  }
  return value;
}

bool IsReportEvent(EventRef event) {
  return GetEventClass(event) == kEventClassZuv && GetEventKind(event) == kEventKindReport;
}

// The report copy an event owns, handed over to the caller. The event keeps no pointer to
// it, so however the event ends, the copy is freed exactly once.
ReportCopy TakeReportCopy(EventRef event) {
  if (!IsReportEvent(event)) return nullptr;
  ReportCopy copy(Parameter<uint8_t*>(event, kParamData));
  if (copy) SetParameter<uint8_t*>(event, kParamData, nullptr);
  return copy;
}

void PostToMainQueue(EventRef event) {
  // An event that cannot be queued is dropped like one that could not be created.
  if (PostEventToQueue(g_mainQueue, event, kEventPriorityLow) != noErr) TakeReportCopy(event);
  ReleaseEvent(event);
}

// Keeps the object alive while the program's handler runs.
class ObjectLock {
 public:
  explicit ObjectLock(REALobject object) : object_(object) { plugin::REALLockObject(object_); }
  ~ObjectLock() { plugin::REALUnlockObject(object_); }
  ObjectLock(const ObjectLock&) = delete;
  ObjectLock& operator=(const ObjectLock&) = delete;

 private:
  REALobject object_;
};

void RaiseReceivedData(EventRef event) {
  const ReportCopy copy = TakeReportCopy(event);
  const auto size = Parameter<UInt32>(event, kParamSize);
  const auto instance = Parameter<REALobject>(event, kParamInstance);
  if (!instance) return;
  const auto handler = reinterpret_cast<ReceivedDataHandler>(
      plugin::GetEventInstance(instance, g_events[kReceivedData].hostSlot));
  if (!handler) return;
  ObjectLock lock(instance);
  // No known encoding: the host keeps the bytes exactly as the device sent them. Without a
  // copy (its allocation failed) the program still learns the report's size.
  REALstring data = plugin::BuildHostString(copy.get(), size, kEncodingUnknown);
  handler(instance, data, static_cast<int32_t>(size));
  if (data) plugin::REALUnlockString(data);
}

void RaiseDeviceRemoved(EventRef event) {
  const auto result = Parameter<int32_t>(event, kParamResult);
  const auto instance = Parameter<REALobject>(event, kParamInstance);
  if (!instance) return;
  const auto handler = reinterpret_cast<DeviceRemovedHandler>(
      plugin::GetEventInstance(instance, g_events[kDeviceRemoved].hostSlot));
  if (!handler) return;
  ObjectLock lock(instance);
  handler(instance, result);
}

OSStatus PassOn(EventHandlerCallRef nextHandler, EventRef event) {
  const OSStatus status = CallNextEventHandler(nextHandler, event);
  // Only this plug-in knows the copy is there: an event no one takes would leak it.
  if (status == eventNotHandledErr) TakeReportCopy(event);
  return status;
}

OSStatus HIDEventHandler(EventHandlerCallRef nextHandler, EventRef event, void*) {
  // Outside its runtime the host cannot run the program's handlers.
  if (!plugin::REALinRuntime()) return PassOn(nextHandler, event);
  if (GetEventClass(event) != kEventClassZuv) return CallNextEventHandler(nextHandler, event);
  switch (GetEventKind(event)) {
    case kEventKindReport:
      RaiseReceivedData(event);
      return noErr;
    case kEventKindRemoved:
      RaiseDeviceRemoved(event);
      return noErr;
    default:
      return CallNextEventHandler(nextHandler, event);
  }
}

Boolean IsEventForInstance(EventRef event, void* instance) {
  if (GetEventClass(event) != kEventClassZuv) return false;
  if (Parameter<REALobject>(event, kParamInstance) != instance) return false;
  // The queue drops the event without dispatching it, so its copy is freed here.
  TakeReportCopy(event);
  return true;
}

}  // namespace

std::span<EventDefinition> ClassEvents() { return g_events; }

void InstallEventBridge() {
  // The host may run the plug-in's entry point again; a second handler would only shadow the
  // first.
  if (g_bridgeInstalled) return;
  g_mainQueue = GetMainEventQueue();
  g_bridgeInstalled =
      InstallEventHandler(GetApplicationEventTarget(), HIDEventHandler, std::size(kHIDEventTypes),
                          kHIDEventTypes, nullptr, nullptr) == noErr;
}

void ReportCallback(void* target, IOReturn, void*, void*, UInt32 bufferSize) {
  auto* instance = static_cast<REALobject>(target);
  // IOKit never reports more than the registered buffer holds, but the copy does not rely on it.
  const size_t size = std::min<size_t>(bufferSize, kReportBufferSize);
  // The shared report buffer is overwritten by the next report, so the event carries a copy.
  ReportCopy copy;
  if (size != 0) {
    copy.reset(static_cast<uint8_t*>(std::calloc(1, size)));
    if (copy) {
      const std::span<const uint8_t> report = ReportBufferOf(DataOf(instance)).first(size);
      std::ranges::copy(report, std::span<uint8_t>(copy.get(), size).begin());
    }
  }
  EventRef event = nullptr;
  if (CreateEvent(kCFAllocatorDefault, kEventClassZuv, kEventKindReport, GetCurrentEventTime(),
                  kEventAttributeNone, &event) != noErr) {
    return;
  }
  SetParameter(event, kParamData, copy.release());
  SetParameter(event, kParamSize, static_cast<UInt32>(size));
  SetParameter(event, kParamInstance, instance);
  PostToMainQueue(event);
}

void RemovalCallback(void* target, IOReturn result, void*, void*) {
  EventRef event = nullptr;
  if (CreateEvent(kCFAllocatorDefault, kEventClassZuv, kEventKindRemoved, GetCurrentEventTime(),
                  kEventAttributeNone, &event) != noErr) {
    return;
  }
  SetParameter(event, kParamResult, static_cast<int32_t>(result));
  SetParameter(event, kParamInstance, static_cast<REALobject>(target));
  PostToMainQueue(event);
}

void DropQueuedEvents(REALobject instance) {
  if (g_mainQueue) FlushSpecificEventsFromQueue(g_mainQueue, IsEventForInstance, instance);
}

}  // namespace orvane
