#include "protocol_test_support.h"


#include <cstring>
#include <fstream>
#include <utility>

#include "folder_item.h"
#include "hid.h"
#include "host_string.h"
#include "os/debug_log.h"
#include "plugin_abi.h"
#include "plugin_decls/entry_points.h"
#include "plugin_host.h"

namespace protocol_test {

namespace {

Recorder* innermostRecorder = nullptr;

}  // namespace

Recorder::Recorder()
    : previousPresenter_(fw::SetMessagePresenter(
          [this](const std::string& text) { messages.push_back(text); })),
      outer_(std::exchange(innermostRecorder, this)) {
  OSSetDebugLogSink(&Recorder::RecordLine, this);
}

Recorder::~Recorder() {
  fw::SetMessagePresenter(std::move(previousPresenter_));
  innermostRecorder = outer_;
  OSSetDebugLogSink(outer_ != nullptr ? &Recorder::RecordLine : nullptr, outer_);
}

void Recorder::RecordLine(const char* line, void* recorder) {
  static_cast<Recorder*>(recorder)->logLines.emplace_back(line);
}

SteppingClock::SteppingClock()
    : previous_(fw::SetTickSource([this] {
        ++now;
        if (onTick) onTick(now);
        return now;
      })) {}

SteppingClock::~SteppingClock() { fw::SetTickSource(std::move(previous_)); }

namespace {

constexpr EventTypeSpec kPassEvent = {OSFourCharCode("TstP"), OSFourCharCode("pass")};

Boolean IsPassEvent(EventRef event, void*) {
  return GetEventClass(event) == kPassEvent.eventClass &&
         GetEventKind(event) == kPassEvent.eventKind;
}

}  // namespace

EventLoopPasses::EventLoopPasses() {
  InstallEventHandler(GetApplicationEventTarget(), OnPass, 1, &kPassEvent, this, &handler_);
  PostNext();
}

EventLoopPasses::~EventLoopPasses() {
  RemoveEventHandler(handler_);
  FlushSpecificEventsFromQueue(GetMainEventQueue(), IsPassEvent, nullptr);
}

OSStatus EventLoopPasses::OnPass(EventHandlerCallRef, EventRef, void* self) {
  auto* passes = static_cast<EventLoopPasses*>(self);
  ++passes->count;
  passes->PostNext();
  return noErr;
}

void EventLoopPasses::PostNext() {
  EventRef event = nullptr;
  CreateEvent(nullptr, kPassEvent.eventClass, kPassEvent.eventKind, 0, kEventAttributeNone, &event);
  PostEventToQueue(GetMainEventQueue(), event, kEventPriorityStandard);
  ReleaseEvent(event);
}

namespace {

StandInTraffic g_traffic;

constexpr size_t kTimeOutField = 0;
constexpr size_t kLasterrorField = 4;

ClassDefinition& StandInDefinition();

void SetField(REALobject self, size_t field, int32_t value) {
  // The class data starts at the offset the host wrote into the definition.
  auto* data = reinterpret_cast<uint8_t*>(self) + StandInDefinition().dataOffset;
  std::memcpy(data + field, &value, sizeof value);
}

void StandInConstructor(REALobject self) { SetField(self, kTimeOutField, 500); }

void StandInClose(REALobject) { ++g_traffic.closes; }

void StandInSendMessageMemory(REALobject self, REALmemoryBlock data, int32_t offset,
                              int32_t length) {
  const auto* block = reinterpret_cast<const fw::MemoryBlock*>(data);
  const std::string bytes = block->StringValue(static_cast<size_t>(offset),
                                               static_cast<size_t>(length));
  g_traffic.sent.emplace_back(bytes.begin(), bytes.end());
  SetField(self, kLasterrorField, g_traffic.nextLasterror);
}

PropertyDefinition g_properties[] = {
    {0, "TimeOut", "Integer", 0, reinterpret_cast<void*>(kPlainField),
     reinterpret_cast<void*>(kPlainField), kTimeOutField, {}},
    {0, "Lasterror", "Integer", 0, reinterpret_cast<void*>(kPlainField),
     reinterpret_cast<void*>(kPlainField), kLasterrorField, {}},
};
MethodDefinition g_methods[] = {
    {reinterpret_cast<void*>(&StandInClose), nullptr, "Close", 0},
    {reinterpret_cast<void*>(&StandInSendMessageMemory), nullptr,
     "SendMessageMemory(data as memoryblock, offset as integer, length as integer)", 0},
};
EventDefinition g_events[] = {
    {"ReceivedData(data as string, size as integer)", 0},
    {"DeviceRemoved(result as integer)", 0},
};

ClassDefinition& StandInDefinition() {
  static ClassDefinition definition = {
      kPluginInterfaceVersion, "OrvaneZuv", nullptr, 1104, 0, StandInConstructor, StandInClose,
      g_properties, 2, g_methods, 2, g_events, 2, {}, 4, {}};
  return definition;
}

}  // namespace

StandInTraffic& UseStandInOrvane() {
  static const bool registered = [] {
    fw::PluginHost::Instance().RegisterClass(&StandInDefinition());
    fw::InitPluginEntrypoints();  // the Tessik entries stay unresolved: not used here
    return true;
  }();
  (void)registered;
  g_traffic = {};
  return g_traffic;
}

void DeliverReport(fw::PluginInstance& device, const std::string& bytes, int32_t size) {
  using Handler = void (*)(REALobject, REALstring, int32_t);
  auto handler = reinterpret_cast<Handler>(device.EventHandler("ReceivedData"));
  ASSERT_NE(handler, nullptr) << "the class binds no ReceivedData handler";
  REALstring text = bytes.empty() ? nullptr : fw::NewHostString(bytes, kEncodingUnknown);
  handler(device.Handle(), text, size);
  fw::ReleaseHostString(text);
}

std::vector<uint8_t> BytesOf(const fw::MemoryBlock& block) {
  return {block.Bytes().begin(), block.Bytes().end()};
}

fw::Ref<fw::MemoryBlock> QueryAnswer(const std::vector<Record>& records, bool endMarker) {
  return hid_test::QueryAnswer(records, 56, 1, endMarker);
}

}  // namespace protocol_test
