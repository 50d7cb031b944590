// Input reports and removal reaching the program as events, from a hand-made device, the
// in-process simulator and the real simulator binary.
#include <csignal>
#include <numeric>

#include "background_process.h"
#include "orvane_test_support.h"

namespace orvanetest {
namespace {

using OrvaneEvents = OrvaneTest;

TEST_F(OrvaneEvents, ReportsArriveInOrderEachWithItsOwnBytes) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  auto device = ListenTo(fake);

  std::vector<uint8_t> full(65);
  std::iota(full.begin(), full.end(), uint8_t{0xC0});  // past 0xFF and back: no text at all
  const std::vector<std::vector<uint8_t>> reports = {
      Bytes("abc"), {0, 0, 7, 0}, {}, full, {0x02, 0x38, 0x01}};
  // All of them wait before the event loop runs once.
  for (const auto& report : reports) fake.SendReport(report);

  ASSERT_TRUE(RunEventLoopUntil([&] { return device->received.size() == reports.size(); }));
  for (size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(device->received[i],
              (ReceivedReport{Text(reports[i]), static_cast<int32_t>(reports[i].size())}))
        << "report " << i;
  }
}

TEST_F(OrvaneEvents, AReportLongerThanTheBufferArrivesCutToIt) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  auto device = ListenTo(fake);
  std::vector<uint8_t> report(orvane::kReportBufferSize + 100);
  std::iota(report.begin(), report.end(), uint8_t{1});
  fake.SendReport(report);
  ASSERT_TRUE(RunEventLoopUntil([&] { return device->received.size() == 1; }));
  EXPECT_EQ(device->received[0].size, static_cast<int32_t>(orvane::kReportBufferSize));
  EXPECT_EQ(device->received[0].data, Text(std::span(report).first(orvane::kReportBufferSize)));
}

TEST_F(OrvaneEvents, TheSimulatorAnswersAQueryAndItsDisappearanceIsReported) {
  auto simulator = StartSimulator(SimulatorOptions(folders.virtualDir(), "sim"));
  auto device = fw::MakeRef<RecordingDevice>();
  ASSERT_NO_FATAL_FAILURE(ConnectFirst(*device));
  device->InstallCallback();

  auto query = fw::NewMemoryBlock(64);
  query->SetUInt8Value(0, 2);  // QUERY_DEVICE
  device->SendMessageMemory(query, 0, 64);
  ASSERT_EQ(device->Lasterror(), 0);
  ASSERT_TRUE(RunEventLoopUntil([&] { return !device->received.empty(); }));
  EXPECT_EQ(device->received[0].size, 64);
  EXPECT_EQ(device->received[0].data[0], 2);

  simulator->disappear();
  ASSERT_TRUE(RunEventLoopUntil([&] { return !device->removals.empty(); }));
  EXPECT_EQ(device->removals, std::vector<int32_t>{kIOReturnSuccess});
  device->SendMessageMemory(query, 0, 64);
  EXPECT_EQ(device->Lasterror(), kIOReturnNoDevice);
}

TEST_F(OrvaneEvents, AKilledSimulatorProcessIsReportedAsRemoved) {
  testsupport::BackgroundProcess simulator({DEVSIM_BINARY, "--name", "proc", "--dir",
                                            folders.virtualDir().string(), "--vid", "4660", "--pid", "22136"});
  // The simulator says it is listening once its device is published.
  const auto ready = simulator.ReadLine();
  ASSERT_TRUE(ready && ready->starts_with("READY")) << simulator.ReadAllStderr(100ms);
  auto device = fw::MakeRef<RecordingDevice>();
  ASSERT_NO_FATAL_FAILURE(ConnectFirst(*device));
  EXPECT_EQ(device->VendorID(), 4660);
  device->InstallCallback();

  simulator.Signal(SIGKILL);
  ASSERT_TRUE(simulator.WaitForExit());
  ASSERT_TRUE(RunEventLoopUntil([&] { return !device->removals.empty(); }));
  EXPECT_EQ(device->removals.size(), 1u);
}

TEST_F(OrvaneEvents, AClassWithoutHandlersConsumesItsEvents) {
  FakeVirtualDevice silentFake(folders.virtualDir(), "a", FakeProps());
  FakeVirtualDevice markerFake(folders.virtualDir(), "b", FakeProps());
  auto silent = ListenTo(silentFake, 0, RecordingDevice::Handlers::None);
  auto marker = ListenTo(markerFake, 1);

  silentFake.SendReport(Bytes("unheard"));
  silentFake.SendReport({});
  markerFake.SendReport(Bytes("marker"));
  // Reports waiting together are handled in one pass: once the marker has arrived, the
  // silent device's events have been dispatched too.
  ASSERT_TRUE(RunEventLoopUntil([&] { return !marker->received.empty(); }));
  EXPECT_EQ(GetNumEventsInQueue(GetMainEventQueue()), 0u);
  EXPECT_TRUE(Probe().events.empty()) << "the events were passed on";
}

TEST_F(OrvaneEvents, ARemovalWithoutAHandlerIsConsumed) {
  auto simulator = StartSimulator(SimulatorOptions(folders.virtualDir(), "sim"));
  auto device = fw::MakeRef<RecordingDevice>(RecordingDevice::Handlers::ReceivedDataOnly);
  ASSERT_NO_FATAL_FAILURE(ConnectFirst(*device));
  device->InstallCallback();

  simulator->disappear();
  // The removal is noticed and its event dispatched in the same pass of the loop; from then
  // on the interface says the device is gone.
  ASSERT_TRUE(RunEventLoopUntil([&] {
    device->InstallCallback();
    return device->Lasterror() == kIOReturnNoDevice;
  }));
  EXPECT_TRUE(device->removals.empty());
  EXPECT_TRUE(Probe().events.empty()) << "the removal was passed on";
}

}  // namespace
}  // namespace orvanetest
