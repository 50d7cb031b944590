#include "orvane_test_support.h"

#include <gtest/gtest.h>

#include "host_string.h"
#include "plugin_decls/entry_points.h"
#include "plugin_host.h"

namespace orvanetest {
namespace {

OSStatus ProbeHandler(EventHandlerCallRef, EventRef event, void*) {
  Probe().events.push_back(RetainEvent(event));
  return Probe().answer;
}

RecordingDevice* Recorder(REALobject self) {
  return dynamic_cast<RecordingDevice*>(fw::PluginInstance::FromHandle(self));
}

void OnReceivedData(REALobject self, REALstring data, int32_t size) {
  RecordingDevice* device = Recorder(self);
  if (!device) {
    ADD_FAILURE() << "ReceivedData raised on an object that is not alive";
    return;
  }
  device->received.push_back({std::string(fw::HostStringBytes(data)), size});
  if (device->onReceived) device->onReceived();
}

void OnDeviceRemoved(REALobject self, int32_t result) {
  RecordingDevice* device = Recorder(self);
  if (!device) {
    ADD_FAILURE() << "DeviceRemoved raised on an object that is not alive";
    return;
  }
  device->removals.push_back(result);
}

const fw::EventBinding kBothBindings[] = {
    {"ReceivedData", reinterpret_cast<void*>(&OnReceivedData)},
    {"DeviceRemoved", reinterpret_cast<void*>(&OnDeviceRemoved)},
};
const fw::ProgramClass kWithBoth{"RecordingDevice", kBothBindings};
const fw::ProgramClass kWithReceivedDataOnly{"ReportOnlyDevice", std::span(kBothBindings).first(1)};
const fw::ProgramClass kWithNone{"SilentDevice", {}};

const fw::ProgramClass* ProgramClassFor(RecordingDevice::Handlers handlers) {
  switch (handlers) {
    case RecordingDevice::Handlers::Both:
      return &kWithBoth;
    case RecordingDevice::Handlers::ReceivedDataOnly:
      return &kWithReceivedDataOnly;
    case RecordingDevice::Handlers::None:
      return &kWithNone;
  }
  return nullptr;
}

}  // namespace

void PassedOnProbe::Reset() {
  for (EventRef event : events) ReleaseEvent(event);
  events.clear();
  answer = eventNotHandledErr;
}

PassedOnProbe& Probe() {
  static PassedOnProbe probe;
  return probe;
}

void LoadPlugins() {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  const EventTypeSpec types[] = {{OSFourCharCode("ZuvH"), OSFourCharCode("HIDe")},
                                 {OSFourCharCode("ZuvH"), OSFourCharCode("HIDr")}};
  ASSERT_EQ(InstallEventHandler(GetApplicationEventTarget(), ProbeHandler, std::size(types), types,
                                nullptr, nullptr),
            noErr);
  const auto failures =
      fw::PluginHost::Instance().LoadPlugins(fw::ExecutableFolder(), {"Orvane", "Tessik"});
  ASSERT_TRUE(failures.empty()) << failures.front().file << ": " << failures.front().reason;
  const auto unresolved = fw::InitPluginEntrypoints();
  ASSERT_TRUE(unresolved.empty()) << unresolved.front();
}

RecordingDevice::RecordingDevice(Handlers handlers) : OrvaneZuv(ProgramClassFor(handlers)) {}

orvane::OrvaneData& RecordingDevice::Data() const {
  const std::span<uint8_t> bytes = ClassData();
  EXPECT_GE(bytes.size(), sizeof(orvane::OrvaneData));
  return *reinterpret_cast<orvane::OrvaneData*>(bytes.data());
}

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string Text(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

FakeVirtualDevice::Properties FakeProps(int vendorId, int productId) {
  return {{"VendorID", std::to_string(vendorId)},
          {"ProductID", std::to_string(productId)},
          {"VersionNumber", "2"},
          {"Manufacturer", "Fake Maker"},
          {"Product", "Fake Device"},
          {"SerialNumber", "F1"}};
}

void OrvaneTest::SetUp() {
  LoadPlugins();
  Probe().Reset();
  liveStringsBefore_ = fw::LiveHostStrings();
}

void OrvaneTest::TearDown() {
  Probe().Reset();
  EXPECT_EQ(fw::LiveHostStrings(), liveStringsBefore_) << "host strings leaked";
}

void OrvaneTest::ConnectFirst(RecordingDevice& device) {
  ASSERT_TRUE(device.FindFirstDevice());
  device.Connect();
  ASSERT_EQ(device.Lasterror(), 0);
}

fw::Ref<RecordingDevice> OrvaneTest::ConnectTo(FakeVirtualDevice& fake, int position,
                                               RecordingDevice::Handlers handlers) {
  auto device = fw::MakeRef<RecordingDevice>(handlers);
  EXPECT_TRUE(device->FindFirstDevice());
  for (int i = 0; i < position; ++i) EXPECT_TRUE(device->FindNextDevice());
  device->Connect();
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_TRUE(fake.AcceptHost());
  return device;
}

fw::Ref<RecordingDevice> OrvaneTest::ListenTo(FakeVirtualDevice& fake, int position,
                                              RecordingDevice::Handlers handlers) {
  auto device = ConnectTo(fake, position, handlers);
  device->InstallCallback();
  EXPECT_EQ(device->Lasterror(), 0);
  return device;
}

}  // namespace orvanetest
