#include "my_orvane.h"

#include <utility>

#include "alerts.h"
#include "background_task.h"
#include "command_packets.h"
#include "host_string.h"
#include "os/carbon_events.h"
#include "plugin_abi.h"
#include "system_log.h"
#include "text_functions.h"
#include "ticks.h"
#include "zuv_utilities.h"

namespace {

constexpr size_t kEventRecordRoom = 100;
static_assert(sizeof(EventRecord) <= kEventRecordRoom);

MyOrvane* DeviceFor(REALobject instance) {
  return dynamic_cast<MyOrvane*>(fw::PluginInstance::FromHandle(instance));
}

// The plug-in raises its events with the instance handle first. The report string is only
// lent for the call; nil stands for an empty report.
void ReceivedDataHandler(REALobject instance, REALstring data, int32_t size) {
  if (MyOrvane* device = DeviceFor(instance)) {
    device->Event_ReceivedData(std::string(fw::HostStringBytes(data)), size);
  }
}

void DeviceRemovedHandler(REALobject instance, int32_t result) {
  if (MyOrvane* device = DeviceFor(instance)) device->Event_DeviceRemoved(result);
}

const fw::EventBinding kMyOrvaneEvents[] = {
    {"ReceivedData", reinterpret_cast<void*>(&ReceivedDataHandler)},
    {"DeviceRemoved", reinterpret_cast<void*>(&DeviceRemovedHandler)},
};

const fw::ProgramClass kMyOrvaneClass{"MyOrvane", kMyOrvaneEvents};

}  // namespace

MyOrvane::MyOrvane() : OrvaneZuv(&kMyOrvaneClass) {
  EventRecord = fw::NewMemoryBlock(kEventRecordRoom);
  SetTimeOut(kTimeOutMilliseconds);
}

namespace {

// Whether the box of a report of the wrong length is up. The box is modal: while it waits,
// the event loop runs and delivers further reports into this handler.
bool lengthMessageUp = false;

}  // namespace

void MyOrvane::Event_ReceivedData(const std::string& data, int32_t size) {
  fw::System::DebugLog("ReceiveData: " + EncodingToHexZuv(data));
  fw::Ref<fw::MemoryBlock> report = fw::MakeRef<fw::MemoryBlock>(data);
  // A short copy (the plug-in could not copy the bytes) or a report of another size is
  // still queued: the reader decides what it makes of it.
  const auto length = static_cast<int64_t>(report->Size());
  const bool wrongLength = length != size || report->Size() != HID::PacketSize;
  Queue(std::move(report));
  if (!wrongLength) return;
  if (lengthMessageUp) {
    // Its box would open inside the one before it, and so on until the stack ran out.
    fw::System::DebugLog("Invalid data length received (" + fw::Str(length) +
                         " bytes), queued without a message: the message of an earlier report is up.");
    return;
  }
  lengthMessageUp = true;
  fw::MsgBox("Invalid data length received.");
  lengthMessageUp = false;
}

void MyOrvane::Queue(fw::Ref<fw::MemoryBlock> report) {
  if (datas.size() >= MostQueuedReports) {
    fw::System::DebugLog("Report dropped, " + fw::Str(static_cast<int64_t>(MostQueuedReports)) +
                         " newer ones queued: " + EncodingToHexZuv(datas.front()->ToString()));
    datas.erase(datas.begin());
  }
  datas.push_back(std::move(report));
}

void MyOrvane::Event_DeviceRemoved(int32_t /*result*/) {
  // A device that goes away shows as answers that do not come; the reads time out.
}

namespace {

// One pass of the event loop. With mask 0 nothing is handed back, but events posted to the
// application (the plug-in's report events among them) are dispatched during the call.
::EventRecord PumpEvents() {
  ::EventRecord record{};
  WaitNextEvent(0, &record, 0, nullptr);
  return record;
}

// The waiting read: takeNewest is asked before every pass, so a report already queued is
// returned without pumping.
template <class TakeNewest, class Pump>
fw::Ref<fw::MemoryBlock> WaitForReport(bool immediate, TakeNewest takeNewest, Pump pump) {
  if (immediate) {
    pump();
    return takeNewest();
  }
  const int64_t deadline = fw::Ticks() + MyOrvane::ReadTimeoutTicks;
  while (fw::Ticks() < deadline) {
    if (fw::Ref<fw::MemoryBlock> report = takeNewest()) return report;
    pump();
    fw::RuntimeBackgroundTask();
  }
  return nullptr;
}

}  // namespace

void MyOrvane::MyWait() {
  // The record is filled as the typed struct and copied into the object's room, so that the
  // byte buffer is never read as a struct.
  const ::EventRecord record = PumpEvents();
  EventRecord->SetStringValue(0, sizeof record,
                              std::string_view(reinterpret_cast<const char*>(&record),
                                               sizeof record));
}

fw::Ref<fw::MemoryBlock> MyOrvane::TakeNewest() {
  if (datas.empty()) return nullptr;
  fw::Ref<fw::MemoryBlock> report = std::move(datas.back());
  datas.pop_back();
  report->LittleEndian = true;
  return report;
}

fw::Ref<fw::MemoryBlock> MyOrvane::Read(bool immediate) {
  return WaitForReport(immediate, [this] { return TakeNewest(); }, [this] { MyWait(); });
}

void MyOrvane::DropQueued() {
  const std::vector<fw::Ref<fw::MemoryBlock>> dropped = std::exchange(datas, {});
  for (const fw::Ref<fw::MemoryBlock>& report : dropped) {
    fw::System::DebugLog("Report dropped, received before the command: " + EncodingToHexZuv(report->ToString()));
  }
}

fw::Ref<fw::MemoryBlock> ReadWithoutDevice(bool immediate) {
  return WaitForReport(immediate, [] { return fw::Ref<fw::MemoryBlock>(); }, [] { PumpEvents(); });
}
