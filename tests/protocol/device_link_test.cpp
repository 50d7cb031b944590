// Sending and reading through the HID module and the MyOrvane queue, against a stand-in for
// the plug-in's device class: the cases the simulator does not produce.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "build_settings.h"
#include "command_packets.h"
#include "hid.h"
#include "protocol_test_support.h"

namespace {

using protocol_test::BytesOf;
using protocol_test::DeliverReport;
using protocol_test::Recorder;
using protocol_test::SteppingClock;

std::string Report(uint8_t code, uint8_t marker) {
  std::string report(64, '\0');
  report[0] = static_cast<char>(code);
  report[63] = static_cast<char>(marker);
  return report;
}

class PROTOCOL_SUITE(DeviceLink) : public ::testing::Test {
 protected:
  void SetUp() override {
    protocol_test::ResetHidGlobals();
    traffic_ = &protocol_test::UseStandInOrvane();
  }
  void TearDown() override { protocol_test::ResetHidGlobals(); }

  void Connect() { HID::DeviceMac = fw::MakeRef<MyOrvane>(); }

  protocol_test::StandInTraffic* traffic_ = nullptr;
  // Keeps the lines a test does not read out of the system log.
  Recorder unread_;
};

TEST_F(PROTOCOL_SUITE(DeviceLink), APacketGoesOutWholeAsOneReport) {
  SKIP_UNLESS_MAC_BUILD();
  Connect();
  Recorder recorder;
  HID::SendCommand(HID::GetGetDataCommand(0x1000, 58));
  ASSERT_EQ(traffic_->sent.size(), 1u);
  EXPECT_EQ(traffic_->sent[0], BytesOf(*HID::GetGetDataCommand(0x1000, 58)));
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(PROTOCOL_SUITE(DeviceLink), APacketOfAnotherSizeIsSentAfterAWarning) {
  SKIP_UNLESS_MAC_BUILD();
  Connect();
  Recorder recorder;
  HID::SendCommand(fw::NewMemoryBlock(10));
  EXPECT_EQ(recorder.messages, (std::vector<std::string>{"Invalid packet size."}));
  ASSERT_EQ(traffic_->sent.size(), 1u);
  EXPECT_EQ(traffic_->sent[0].size(), 10u);
}

TEST_F(PROTOCOL_SUITE(DeviceLink), AFailedSendIsLoggedWithItsCode) {
  SKIP_UNLESS_MAC_BUILD();
  Connect();
  traffic_->nextLasterror = -536870212;
  Recorder recorder;
  HID::SendCommand(HID::GetEraseDeviceCommand());
  ASSERT_FALSE(recorder.logLines.empty());
  EXPECT_EQ(recorder.logLines.back(), "Lasterror after SendMessage -536870212");
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(PROTOCOL_SUITE(DeviceLink), NoPacketOrNoDeviceSendsNothingAndDoesNotCrash) {
  Recorder recorder;
  HID::SendCommand(HID::GetQueryDeviceCommand());  // before any device is connected
  Connect();
  HID::SendCommand(HID::GetGetDataCommand(0, 59));  // the builder refused: Nil
  HID::SendCommand(nullptr);
  EXPECT_TRUE(traffic_->sent.empty());
  EXPECT_TRUE(recorder.messages.empty());
  ASSERT_FALSE(recorder.logLines.empty());
  EXPECT_EQ(recorder.logLines.back(), "SendCommand: no packet, nothing sent.");
}

TEST_F(PROTOCOL_SUITE(DeviceLink), OtherTargetsBeepInsteadOfSending) {
  if constexpr (HID::kBuildTarget != HID::BuildTarget::Other) GTEST_SKIP();
  Connect();
  int beeps = 0;
  auto previous = fw::SetBeepPresenter([&] { ++beeps; });
  HID::SendCommand(HID::GetQueryDeviceCommand());
  fw::SetBeepPresenter(previous);
  EXPECT_EQ(beeps, 1);
  EXPECT_TRUE(traffic_->sent.empty());
}

// The update steps read in loops of their own that have no bound: without a device each read
// must still wait and let the event loop run, or those loops would spin.
TEST_F(PROTOCOL_SUITE(DeviceLink), ReadingWithoutADeviceWaitsItsTimePumpingTheEventLoop) {
  {
    protocol_test::EventLoopPasses passes;
    EXPECT_FALSE(HID::ReadCommand(true));
    EXPECT_EQ(passes.count, 1);
  }
  SteppingClock clock;
  protocol_test::EventLoopPasses passes;
  const int64_t start = clock.now;
  EXPECT_FALSE(HID::ReadCommand(false));
  EXPECT_GE(clock.now - start, MyOrvane::ReadTimeoutTicks);
  EXPECT_LE(clock.now - start, MyOrvane::ReadTimeoutTicks + 2);
  // One pass per look at the clock.
  EXPECT_GE(passes.count, MyOrvane::ReadTimeoutTicks - 2);
  EXPECT_LE(passes.count, clock.now - start);
}

TEST_F(PROTOCOL_SUITE(DeviceLink), ADeviceDroppedDuringTheWaitLivesUntilTheReadReturns) {
  SKIP_UNLESS_MAC_BUILD();
  Connect();
  SteppingClock clock;
  const int64_t start = clock.now;
  int closesDuringWait = -1;
  clock.onTick = [&](int64_t now) {
    if (now == start + 10) HID::DeviceMac = nullptr;  // as a handler run by the wait may do
    if (now == start + 20) closesDuringWait = traffic_->closes;
  };
  EXPECT_FALSE(HID::ReadCommand(false));
  EXPECT_EQ(closesDuringWait, 0);
  EXPECT_EQ(traffic_->closes, 1);
}

// Every report is queued. The box of one of the wrong length lets the event loop run: a
// report of the wrong length that comes meanwhile gets no box inside it, only a log line.
TEST_F(PROTOCOL_SUITE(DeviceLink), ReportsOfTheWrongLengthAreQueuedWithAMessageButNeverOneInsideAnother) {
  Connect();
  Recorder recorder;
  const fw::MessagePresenter recordOnly = fw::SetMessagePresenter([&](const std::string& text) {
    recorder.messages.push_back(text);
    DeliverReport(*HID::DeviceMac, std::string(63, '\x55'), 63);
    DeliverReport(*HID::DeviceMac, Report(0x55, 1), 64);
  });
  DeliverReport(*HID::DeviceMac, std::string(65, '\x02'), 65);
  fw::SetMessagePresenter(recordOnly);
  DeliverReport(*HID::DeviceMac, "", 64);  // the plug-in could not copy the bytes
  DeliverReport(*HID::DeviceMac, std::string(64, '\x02'), 63);
  EXPECT_EQ(recorder.messages, std::vector<std::string>(3, "Invalid data length received."));
  std::vector<size_t> queued;
  for (const auto& report : HID::DeviceMac->datas) queued.push_back(report->Size());
  EXPECT_EQ(queued, (std::vector<size_t>{65, 63, 64, 0, 64}));
  EXPECT_EQ(std::count(recorder.logLines.begin(), recorder.logLines.end(),
                       "Invalid data length received (63 bytes), queued without a message: the message of an "
                       "earlier report is up."),
            1);
}

// A device that sends while nothing reads: the queue keeps the newest reports, and each one
// dropped to make room is logged.
TEST_F(PROTOCOL_SUITE(DeviceLink), TheQueueKeepsTheNewestReportsAndLogsEachOneItDrops) {
  Connect();
  Recorder recorder;
  for (int marker = 0; marker < 70; ++marker) {
    DeliverReport(*HID::DeviceMac, Report(0x55, static_cast<uint8_t>(marker)), 64);
  }
  ASSERT_EQ(HID::DeviceMac->datas.size(), MyOrvane::MostQueuedReports);
  EXPECT_EQ(HID::DeviceMac->datas.front()->UInt8Value(63), 6);
  EXPECT_EQ(HID::DeviceMac->datas.back()->UInt8Value(63), 69);
  const auto dropped = std::count_if(recorder.logLines.begin(), recorder.logLines.end(), [](const std::string& line) {
    return line.starts_with("Report dropped, 64 newer ones queued: 55");
  });
  EXPECT_EQ(dropped, 6);
  EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(PROTOCOL_SUITE(DeviceLink), AReportArrivingDuringTheWaitEndsIt) {
  SKIP_UNLESS_MAC_BUILD();
  Connect();
  SteppingClock clock;
  const int64_t start = clock.now;
  clock.onTick = [&](int64_t now) {
    if (now == start + 60) DeliverReport(*HID::DeviceMac, Report(2, 9), 64);
  };
  auto answer = HID::ReadCommand(false);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->UInt8Value(63), 9);
  EXPECT_LT(clock.now - start, 65);
}

TEST_F(PROTOCOL_SUITE(DeviceLink), AQueuedReportIsReturnedWithoutWaiting) {
  SKIP_UNLESS_MAC_BUILD();
  Connect();
  DeliverReport(*HID::DeviceMac, Report(2, 3), 64);
  SteppingClock clock;
  const int64_t start = clock.now;
  ASSERT_TRUE(HID::ReadCommand(false));
  EXPECT_LE(clock.now - start, 2);
}

}  // namespace
