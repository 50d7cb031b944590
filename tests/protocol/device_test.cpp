// MyOrvane and the HID module against the real Orvane plug-in and the device simulator,
// connected the way the device search connects them.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <memory>
#include <string>

#include "command_packets.h"
#include "hid.h"
#include "isolated_devices.h"
#include "plugin_decls/entry_points.h"
#include "plugin_host.h"
#include "protocol_test_support.h"
#include "simulator.h"

namespace {

using namespace std::chrono_literals;
using protocol_test::Recorder;
using protocol_test::SteppingClock;
using Clock = std::chrono::steady_clock;

constexpr uint16_t kVendorId = 0x1234;
constexpr uint16_t kProductId = 0x5678;

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

class ProtocolDevice : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Devices appear in a folder of this run's own; the machine's real HID devices are never
    // looked at.
    devices_ = std::make_unique<testsupport::IsolatedDevices>();
    const auto failures = fw::PluginHost::Instance().LoadPlugins(fw::ExecutableFolder(), {"Orvane"});
    ASSERT_TRUE(failures.empty()) << failures.front().reason;
    fw::InitPluginEntrypoints();
  }

  static void TearDownTestSuite() { devices_.reset(); }

  void SetUp() override { protocol_test::ResetHidGlobals(); }

  void TearDown() override {
    protocol_test::ResetHidGlobals();
    if (simulator_) simulator_->disappear();
  }

  devsim::Options Options() const {
    return testsupport::SimulatorOptions(devices_->virtualDir(), "board", kVendorId, kProductId);
  }

  void StartSimulator(const devsim::Options& options) { simulator_ = testsupport::StartSimulator(options); }

  // The device search's way: walk the devices, take the one with our ids, connect it and
  // install the report callback; it becomes the module's connected device.
  void ConnectDevice() {
    auto device = fw::MakeRef<MyOrvane>();
    for (bool found = device->FindFirstDevice(); found; found = device->FindNextDevice()) {
      if (device->VendorID() == kVendorId && device->ProductID() == kProductId) {
        device->Connect();
        ASSERT_EQ(device->Lasterror(), 0) << "Connect failed";
        device->InstallCallback();
        HID::DeviceMac = device;
        ASSERT_TRUE(simulator_->server().waitUntil(
            [](const devsim::DeviceActivity& a) { return a.hostConnected; }, 5s));
        return;
      }
    }
    FAIL() << "the simulated device was not found";
  }

  bool WaitForReportsSent(uint64_t count) {
    return simulator_->server().waitUntil(
        [count](const devsim::DeviceActivity& a) { return a.reportsSent >= count; }, 5s);
  }

  // Lets the event loop run until n reports are queued, or a few seconds have passed.
  bool PumpUntilQueued(size_t n) {
    const auto deadline = Clock::now() + 5s;
    while (HID::DeviceMac->datas.size() < n && Clock::now() < deadline) HID::DeviceMac->MyWait();
    return HID::DeviceMac->datas.size() >= n;
  }

  static inline std::unique_ptr<testsupport::IsolatedDevices> devices_;
  std::unique_ptr<devsim::BackgroundDevice> simulator_;
  // Keeps the lines a test does not read out of the system log.
  Recorder unread_;
};

TEST_F(ProtocolDevice, TheQueryAnswerComesBackLittleEndianAndParses) {
  SKIP_UNLESS_MAC_BUILD();
  StartSimulator(Options());
  ConnectDevice();
  EXPECT_EQ(HID::DeviceMac->TimeOut(), 2222);
  Recorder recorder;
  HID::SendCommand(HID::GetQueryDeviceCommand());
  auto answer = HID::ReadCommand(false);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->Size(), 64u);
  EXPECT_EQ(answer->UInt8Value(0), HID::QUERY_DEVICE);
  EXPECT_EQ(answer->UInt8Value(1), 56);
  ASSERT_TRUE(HID::ParseMemoryRegions(answer));
  ASSERT_EQ(HID::memoryRegionsDetected, 2);
  EXPECT_EQ(HID::MemoryRegions[0]->Address, 0x800);
  EXPECT_EQ(HID::MemoryRegions[0]->Size, 0x1000);
  EXPECT_EQ(HID::MemoryRegions[1]->Address, 0x10000);
  EXPECT_EQ(HID::MemoryRegions[1]->data->Size(), 74u);
  EXPECT_TRUE(recorder.messages.empty());
  ASSERT_FALSE(recorder.logLines.empty());
  EXPECT_EQ(recorder.logLines.back().rfind("ReceiveData: 023801", 0), 0u) << recorder.logLines.back();
}

TEST_F(ProtocolDevice, TwoQueuedReportsAreReadNewestFirst) {
  SKIP_UNLESS_MAC_BUILD();
  StartSimulator(Options());
  ConnectDevice();
  HID::SendCommand(HID::GetGetDataCommand(0x800, 4));
  HID::SendCommand(HID::GetGetDataCommand(0x804, 4));
  ASSERT_TRUE(WaitForReportsSent(2));
  ASSERT_TRUE(PumpUntilQueued(2));
  auto newest = HID::ReadCommand(false);
  auto oldest = HID::ReadCommand(false);
  ASSERT_TRUE(newest && oldest);
  EXPECT_EQ(newest->Int32Value(1), 0x804);
  EXPECT_EQ(oldest->Int32Value(1), 0x800);
  EXPECT_EQ(oldest->UInt8Value(5), 4);
  EXPECT_FALSE(HID::ReadCommand(true));
}

TEST_F(ProtocolDevice, AReadWithNoAnswerGivesUpAfterOneHundredTwentyTicks) {
  SKIP_UNLESS_MAC_BUILD();
  devsim::Options options = Options();
  options.faults.neverAnswer = true;
  StartSimulator(options);
  ConnectDevice();
  HID::SendCommand(HID::GetQueryDeviceCommand());
  SteppingClock clock;
  const int64_t start = clock.now;
  EXPECT_FALSE(HID::ReadCommand(false));
  EXPECT_GE(clock.now - start, 120);
  EXPECT_LE(clock.now - start, 122);
}

TEST_F(ProtocolDevice, AReportOfSixtyFiveBytesIsQueuedWithAMessage) {
  SKIP_UNLESS_MAC_BUILD();
  devsim::Options options = Options();
  options.faults.answerLength = 65;
  StartSimulator(options);
  ConnectDevice();
  Recorder recorder;
  HID::SendCommand(HID::GetQueryDeviceCommand());
  auto answer = HID::ReadCommand(false);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->Size(), 65u);
  EXPECT_EQ(answer->UInt8Value(0), HID::QUERY_DEVICE);
  EXPECT_EQ(recorder.messages, (std::vector<std::string>{"Invalid data length received."}));
}

TEST_F(ProtocolDevice, AWaitingReadDoesNotBurnACore) {
  SKIP_UNLESS_MAC_BUILD();
  devsim::Options options = Options();
  options.faults.neverAnswer = true;
  StartSimulator(options);
  ConnectDevice();
  HID::SendCommand(HID::GetQueryDeviceCommand());
  const double cpuBefore = ThreadCpuSeconds();
  const auto start = Clock::now();
  EXPECT_FALSE(HID::ReadCommand(false));
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = ThreadCpuSeconds() - cpuBefore;
  EXPECT_GE(wall, 1.95);
  EXPECT_LT(wall, 3.0);
  EXPECT_LT(cpu, 0.25 * wall) << "the wait spun for " << cpu << " s of CPU in " << wall << " s";
}

TEST_F(ProtocolDevice, ADeviceThatGoesAwayShowsOnlyAsMissingAnswers) {
  SKIP_UNLESS_MAC_BUILD();
  StartSimulator(Options());
  ConnectDevice();
  simulator_->disappear();
  Recorder recorder;
  HID::SendCommand(HID::GetQueryDeviceCommand());
  SteppingClock clock;
  EXPECT_FALSE(HID::ReadCommand(false));
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(ProtocolDevice, ReleasingTheDeviceAtQuitClosesTheConnection) {
  StartSimulator(Options());
  ConnectDevice();
  HID::ReleaseGlobals();
  EXPECT_TRUE(simulator_->server().waitUntil(
      [](const devsim::DeviceActivity& a) { return !a.hostConnected; }, 5s));
}

}  // namespace
