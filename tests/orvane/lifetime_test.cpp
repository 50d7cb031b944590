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

  static void* ReportCopyOf(EventRef event) {
    void* copy = nullptr;
    GetEventParameter(event, OSFourCharCode("Data"), typeUInt32, nullptr, sizeof copy, nullptr,
                      &copy);
    return copy;
  }
};

TEST_F(OrvaneLifetime, EventsQueuedForADestroyedObjectNeverReachIt) {
  FakeVirtualDevice firstFake(folders.virtualDir(), "a", FakeProps());
  FakeVirtualDevice secondFake(folders.virtualDir(), "b", FakeProps());
  fw::Ref<RecordingDevice> first = ListenTo(firstFake);
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

  ASSERT_TRUE(RunEventLoopUntil([&] { return !second->received.empty(); }));
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(firstHandled, 1);
  // The other object's events are left alone.
  EXPECT_EQ(second->received, (std::vector<ReceivedReport>{{"other", 5}}));
  EXPECT_EQ(GetNumEventsInQueue(GetMainEventQueue()), 0u);
  EXPECT_TRUE(Probe().events.empty());
}

TEST_F(OrvaneLifetime, OutsideTheRuntimeAReportIsPassedOnAndFreedWhenNoOneTakesIt) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  auto device = ListenTo(fake);
  fw::PluginHost::Instance().inRuntime = false;
  fake.SendReport(Bytes("not now"));
  ASSERT_TRUE(RunEventLoopUntil([&] { return !Probe().events.empty(); }));
  EXPECT_TRUE(device->received.empty());
  // The probe held on to the event: the plug-in has taken its copy back and freed it.
  EXPECT_EQ(ReportCopyOf(Probe().events.front()), nullptr);
}

TEST_F(OrvaneLifetime, OutsideTheRuntimeAReportTakenByTheNextHandlerKeepsItsCopy) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  auto device = ListenTo(fake);
  fw::PluginHost::Instance().inRuntime = false;
  Probe().answer = noErr;
  fake.SendReport(Bytes("yours"));
  ASSERT_TRUE(RunEventLoopUntil([&] { return !Probe().events.empty(); }));
  void* copy = ReportCopyOf(Probe().events.front());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(Text(std::span(static_cast<const uint8_t*>(copy), 5)), "yours");
  std::free(copy);  // the handler that took the event owns it
  EXPECT_TRUE(device->received.empty());
}

TEST_F(OrvaneLifetime, OutsideTheRuntimeARemovalIsPassedOnUntouched) {
  auto simulator = StartSimulator(SimulatorOptions(folders.virtualDir(), "sim"));
  auto device = fw::MakeRef<RecordingDevice>();
  ASSERT_NO_FATAL_FAILURE(ConnectFirst(*device));
  fw::PluginHost::Instance().inRuntime = false;
  simulator->disappear();
  ASSERT_TRUE(RunEventLoopUntil([&] { return !Probe().events.empty(); }));
  EXPECT_EQ(GetEventKind(Probe().events.front()), OSFourCharCode("HIDr"));
  EXPECT_TRUE(device->removals.empty());
}

}  // namespace
}  // namespace orvanetest
