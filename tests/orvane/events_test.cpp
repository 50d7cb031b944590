// Input reports and removal reaching the program as events, from a hand-made device, the
// in-process simulator and the real simulator binary.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <numeric>

#include "orvane_test_support.h"

extern char** environ;

namespace orvanetest {
namespace {

class OrvaneEvents : public OrvaneTest {
 protected:
  fw::Ref<RecordingDevice> ListenTo(
      FakeDevice& fake, RecordingDevice::Handlers handlers = RecordingDevice::Handlers::Both) {
    auto device = fw::MakeRef<RecordingDevice>(handlers);
    EXPECT_TRUE(device->FindFirstDevice());
    device->Connect();
    EXPECT_EQ(device->Lasterror(), 0);
    device->InstallCallback();
    EXPECT_EQ(device->Lasterror(), 0);
    EXPECT_TRUE(fake.AcceptHost());
    return device;
  }
};

TEST_F(OrvaneEvents, ReportsArriveInOrderEachWithItsOwnBytes) {
  FakeDevice fake(folders.devices(), "fake", FakeDevice::DefaultProps());
  auto device = ListenTo(fake);

  std::vector<uint8_t> full(65);
  std::iota(full.begin(), full.end(), uint8_t{0xC0});  // past 0xFF and back: no text at all
  const std::vector<std::vector<uint8_t>> reports = {
      Bytes("abc"), {0, 0, 7, 0}, {}, full, {0x02, 0x38, 0x01}};
  // All of them wait before the event loop runs once.
  for (const auto& report : reports) fake.SendReport(report);

  ASSERT_TRUE(PumpUntil([&] { return device->received.size() == reports.size(); }));
  for (size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(device->received[i],
              (ReceivedReport{Text(reports[i]), static_cast<int32_t>(reports[i].size())}))
        << "report " << i;
  }
}

TEST_F(OrvaneEvents, AReportLongerThanTheBufferArrivesCutToIt) {
  FakeDevice fake(folders.devices(), "fake", FakeDevice::DefaultProps());
  auto device = ListenTo(fake);
  std::vector<uint8_t> report(orvane::kReportBufferSize + 100);
  std::iota(report.begin(), report.end(), uint8_t{1});
  fake.SendReport(report);
  ASSERT_TRUE(PumpUntil([&] { return device->received.size() == 1; }));
  EXPECT_EQ(device->received[0].size, static_cast<int32_t>(orvane::kReportBufferSize));
  EXPECT_EQ(device->received[0].data, Text(std::span(report).first(orvane::kReportBufferSize)));
}

TEST_F(OrvaneEvents, TheSimulatorAnswersAQueryAndItsDisappearanceIsReported) {
  auto simulator = StartSimulator(SimulatorOptions(folders.devices(), "sim"));
  ASSERT_TRUE(simulator);
  auto device = fw::MakeRef<RecordingDevice>();
  ASSERT_TRUE(device->FindFirstDevice());
  device->Connect();
  ASSERT_EQ(device->Lasterror(), 0);
  device->InstallCallback();

  auto query = fw::NewMemoryBlock(64);
  query->SetUInt8Value(0, 2);  // QUERY_DEVICE
  device->SendMessageMemory(query, 0, 64);
  ASSERT_EQ(device->Lasterror(), 0);
  ASSERT_TRUE(PumpUntil([&] { return !device->received.empty(); }));
  EXPECT_EQ(device->received[0].size, 64);
  EXPECT_EQ(device->received[0].data[0], 2);

  simulator->disappear();
  ASSERT_TRUE(PumpUntil([&] { return !device->removals.empty(); }));
  EXPECT_EQ(device->removals, std::vector<int32_t>{kIOReturnSuccess});
  device->SendMessageMemory(query, 0, 64);
  EXPECT_EQ(device->Lasterror(), kIOReturnNoDevice);
}

// The simulator binary, started as its own process.
class SimulatorProcess {
 public:
  explicit SimulatorProcess(const std::vector<std::string>& args) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    std::vector<std::string> storage = {DEVSIM_BINARY};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, DEVSIM_BINARY, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    output_ = ::fdopen(pipe[0], "r");
  }
  ~SimulatorProcess() {
    Kill();
    if (output_) std::fclose(output_);
  }

  // True once the simulator said it is listening.
  bool Ready() {
    if (pid_ < 0 || !output_) return false;
    char line[512];
    return std::fgets(line, sizeof line, output_) && std::string_view(line).starts_with("READY");
  }

  void Kill() {
    if (pid_ < 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
};

TEST_F(OrvaneEvents, AKilledSimulatorProcessIsReportedAsRemoved) {
  SimulatorProcess simulator(
      {"--name", "proc", "--dir", folders.devices().string(), "--vid", "1240", "--pid", "60"});
  ASSERT_TRUE(simulator.Ready());
  auto device = fw::MakeRef<RecordingDevice>();
  ASSERT_TRUE(device->FindFirstDevice());
  EXPECT_EQ(device->VendorID(), 1240);
  device->Connect();
  ASSERT_EQ(device->Lasterror(), 0);
  device->InstallCallback();

  simulator.Kill();
  ASSERT_TRUE(PumpUntil([&] { return !device->removals.empty(); }));
  EXPECT_EQ(device->removals.size(), 1u);
}

TEST_F(OrvaneEvents, AClassWithoutHandlersConsumesItsEvents) {
  FakeDevice silentFake(folders.devices(), "a", FakeDevice::DefaultProps());
  FakeDevice markerFake(folders.devices(), "b", FakeDevice::DefaultProps());
  auto silent = ListenTo(silentFake, RecordingDevice::Handlers::None);
  auto marker = fw::MakeRef<RecordingDevice>();
  ASSERT_TRUE(marker->FindFirstDevice() && marker->FindNextDevice());
  marker->Connect();
  marker->InstallCallback();
  ASSERT_TRUE(markerFake.AcceptHost());

  silentFake.SendReport(Bytes("unheard"));
  silentFake.SendReport({});
  markerFake.SendReport(Bytes("marker"));
  // Reports waiting together are handled in one pass: once the marker has arrived, the
  // silent device's events have been dispatched too.
  ASSERT_TRUE(PumpUntil([&] { return !marker->received.empty(); }));
  EXPECT_EQ(GetNumEventsInQueue(GetMainEventQueue()), 0u);
  EXPECT_TRUE(Probe().events.empty()) << "the events were passed on";
}

TEST_F(OrvaneEvents, ARemovalWithoutAHandlerIsConsumed) {
  auto simulator = StartSimulator(SimulatorOptions(folders.devices(), "sim"));
  ASSERT_TRUE(simulator);
  auto device = fw::MakeRef<RecordingDevice>(RecordingDevice::Handlers::ReceivedDataOnly);
  ASSERT_TRUE(device->FindFirstDevice());
  device->Connect();
  ASSERT_EQ(device->Lasterror(), 0);
  device->InstallCallback();

  simulator->disappear();
  // The removal is noticed and its event dispatched in the same pass of the loop; from then
  // on the interface says the device is gone.
  ASSERT_TRUE(PumpUntil([&] {
    device->InstallCallback();
    return device->Lasterror() == kIOReturnNoDevice;
  }));
  EXPECT_TRUE(device->removals.empty());
  EXPECT_TRUE(Probe().events.empty()) << "the removal was passed on";
}

}  // namespace
}  // namespace orvanetest
