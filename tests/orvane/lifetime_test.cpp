// Events that cannot reach the program the usual way: queued for an object that is gone, or
// arriving while the host is outside its runtime. None may touch freed memory or leak its
// report copy (the sanitizer build checks both).
#include <cstdlib>

#include "orvane_test_support.h"
#include "plugin_host.h"

namespace orvanetest {
namespace {

class OrvaneLifetime : public OrvaneTest {
 protected:
  void TearDown() override {
    fw::PluginHost::Instance().inRuntime = true;
    OrvaneTest::TearDown();
  }

  fw::Ref<RecordingDevice> ListenTo(FakeDevice& fake, int position) {
    auto device = fw::MakeRef<RecordingDevice>();
    EXPECT_TRUE(device->FindFirstDevice());
    for (int i = 0; i < position; ++i) EXPECT_TRUE(device->FindNextDevice());
    device->Connect();
    EXPECT_EQ(device->Lasterror(), 0);
    device->InstallCallback();
    EXPECT_TRUE(fake.AcceptHost());
    return device;
  }

  static void* ReportCopyOf(EventRef event) {
    void* copy = nullptr;
    GetEventParameter(event, OSFourCharCode("Data"), typeUInt32, nullptr, sizeof copy, nullptr,
                      &copy);
    return copy;
  }
};

TEST_F(OrvaneLifetime, EventsQueuedForADestroyedObjectNeverReachIt) {
  FakeDevice firstFake(folders.devices(), "a", FakeDevice::DefaultProps());
  FakeDevice secondFake(folders.devices(), "b", FakeDevice::DefaultProps());
  fw::Ref<RecordingDevice> first = ListenTo(firstFake, 0);
  fw::Ref<RecordingDevice> second = ListenTo(secondFake, 1);
  int firstHandled = 0;
  // The program lets go of its object while handling the first report; the object dies as
  // soon as the handler returns, with two more of its reports still queued.
  first->onReceived = [&] {
    ++firstHandled;
    first.reset();
  };
  for (const char* report : {"one", "two", "three"}) firstFake.SendReport(Bytes(report));
  secondFake.SendReport(Bytes("other"));

  ASSERT_TRUE(PumpUntil([&] { return !second->received.empty(); }));
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(firstHandled, 1);
  // The other object's events are left alone.
  EXPECT_EQ(second->received, (std::vector<ReceivedReport>{{"other", 5}}));
  EXPECT_EQ(GetNumEventsInQueue(GetMainEventQueue()), 0u);
  EXPECT_TRUE(Probe().events.empty());
}

TEST_F(OrvaneLifetime, OutsideTheRuntimeAReportIsPassedOnAndFreedWhenNoOneTakesIt) {
  FakeDevice fake(folders.devices(), "fake", FakeDevice::DefaultProps());
  auto device = ListenTo(fake, 0);
  fw::PluginHost::Instance().inRuntime = false;
  fake.SendReport(Bytes("not now"));
  ASSERT_TRUE(PumpUntil([&] { return !Probe().events.empty(); }));
  EXPECT_TRUE(device->received.empty());
  // The probe held on to the event: the plug-in has taken its copy back and freed it.
  EXPECT_EQ(ReportCopyOf(Probe().events.front()), nullptr);
}

TEST_F(OrvaneLifetime, OutsideTheRuntimeAReportTakenByTheNextHandlerKeepsItsCopy) {
  FakeDevice fake(folders.devices(), "fake", FakeDevice::DefaultProps());
  auto device = ListenTo(fake, 0);
  fw::PluginHost::Instance().inRuntime = false;
  Probe().answer = noErr;
  fake.SendReport(Bytes("yours"));
  ASSERT_TRUE(PumpUntil([&] { return !Probe().events.empty(); }));
  void* copy = ReportCopyOf(Probe().events.front());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(Text(std::span(static_cast<const uint8_t*>(copy), 5)), "yours");
  std::free(copy);  // the handler that took the event owns it
  EXPECT_TRUE(device->received.empty());
}

TEST_F(OrvaneLifetime, OutsideTheRuntimeARemovalIsPassedOnUntouched) {
  auto simulator = StartSimulator(SimulatorOptions(folders.devices(), "sim"));
  ASSERT_TRUE(simulator);
  auto device = fw::MakeRef<RecordingDevice>();
  ASSERT_TRUE(device->FindFirstDevice());
  device->Connect();
  ASSERT_EQ(device->Lasterror(), 0);
  fw::PluginHost::Instance().inRuntime = false;
  simulator->disappear();
  ASSERT_TRUE(PumpUntil([&] { return !Probe().events.empty(); }));
  EXPECT_EQ(GetEventKind(Probe().events.front()), OSFourCharCode("HIDr"));
  EXPECT_TRUE(device->removals.empty());
}

}  // namespace
}  // namespace orvanetest
