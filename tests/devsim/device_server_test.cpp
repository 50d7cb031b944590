#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "devsim/device_server.h"
#include "files.h"
#include "seqpacket_peer.h"
#include "simulator.h"
#include "temp_dir.h"
#include "test_support.h"

namespace devsim {
namespace {

using namespace std::chrono_literals;
using test::commandPacket;
using test::getDataPacket;
using test::getDataPayload;
using test::programPacket;
using testsupport::ReadFile;
using testsupport::SeqPacketPeer;
using testsupport::SimulatorOptions;
using testsupport::StartSimulator;
using testsupport::TempDir;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

bool waitFor(const BackgroundDevice& device, const std::function<bool(const DeviceActivity&)>& condition) {
  return device.server().waitUntil(condition, 5s);
}

TEST(DevsimServer, PublishesIdentityOnceListening) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "board-1");
  options.versionNumber = 0x0102;
  options.manufacturer = "Trovák";
  options.serialNumber = "";
  auto device = StartSimulator(options);
  EXPECT_EQ(device->socketPath(), dir.path() / "board-1.sock");
  EXPECT_EQ(ReadFile(dir.path() / "board-1.props"),
            "VendorID=4660\nProductID=22136\nVersionNumber=258\nManufacturer=Trovák\n"
            "Product=Trovak Bootloader\nSerialNumber=\nPid=" + std::to_string(::getpid()) + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "board-1.props.tmp"));
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  EXPECT_TRUE(host.IsConnected());
}

TEST(DevsimServer, MemoryOutlivesSessionsAndLogsAreWritten) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.trafficFile = dir.path() / "traffic.log";
  options.memoryFile = dir.path() / "memory.txt";
  options.regions = {{0, 0x800, 4}};
  auto device = StartSimulator(options);
  {
    auto host = SeqPacketPeer::ConnectTo(device->socketPath());
    host.SendReport(commandPacket(Command::EraseDevice));
    host.SendReport(programPacket(0x800, Bytes{0xDE, 0xAD}));
    host.SendReport(commandPacket(Command::ProgramComplete));
  }
  ASSERT_TRUE(waitFor(*device, [](const DeviceActivity& a) { return a.sessionsStarted == 1 && !a.hostConnected; }));
  EXPECT_EQ(ReadFile(dir.path() / "memory.txt"), "REGION type=0 address=0x800 size=4\nDEADFFFF\n");
  EXPECT_EQ(device->server().memory().at(0).bytes, (Bytes{0xDE, 0xAD, 0xFF, 0xFF}));

  auto again = SeqPacketPeer::ConnectTo(device->socketPath());
  again.SendReport(getDataPacket(0x800, 4));
  auto answer = again.NextReport();
  ASSERT_TRUE(answer);
  EXPECT_EQ(getDataPayload(*answer), (Bytes{0xDE, 0xAD, 0xFF, 0xFF}));

  EXPECT_EQ(device->server().activity().sessionsStarted, 2u);

  device->disappear();  // the log line of an answer may follow its delivery
  std::string traffic = ReadFile(dir.path() / "traffic.log");
  EXPECT_EQ(traffic.rfind("OUT 04" + std::string(126, '0') + "\n", 0), 0u) << traffic;
  EXPECT_NE(traffic.find("\nIN 0700080000" "04"), std::string::npos) << traffic;
}

TEST(DevsimServer, DisappearingRemovesFilesBeforeTheHostSeesRemoval) {
  TempDir dir("devsim");
  auto device = StartSimulator(SimulatorOptions(dir.path(), "dev"));
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  ASSERT_TRUE(waitFor(*device, [](const DeviceActivity& a) { return a.hostConnected; }));
  EXPECT_EQ(device->disappear(), RunEnd::Stopped);
  EXPECT_TRUE(host.PeerClosed());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "dev.sock"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "dev.props"));
}

TEST(DevsimServer, VanishesAfterTheGivenNumberOfReports) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.faults.vanishAfterReports = 3;
  auto device = StartSimulator(options);
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  host.SendReport(commandPacket(Command::QueryDevice));
  host.SendReport(commandPacket(Command::QueryDevice));
  ASSERT_TRUE(host.NextReport());
  ASSERT_TRUE(host.NextReport());
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "dev.props"));
  host.SendReport(commandPacket(Command::QueryDevice));
  EXPECT_TRUE(host.NextReport());  // the last report is still served
  EXPECT_TRUE(host.PeerClosed());
  ASSERT_TRUE(waitFor(*device, [](const DeviceActivity& a) { return a.ended; }));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "dev.sock"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "dev.props"));
  EXPECT_EQ(device->disappear(), RunEnd::Vanished);
}

// Unplugged while a command was on its way: the device is gone before it acts on it.
TEST(DevsimServer, VanishesAsTheGivenReportArrivesWithoutActingOnIt) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.regions = {{0, 0x800, 4}};
  options.initialFill = 0x5A;
  options.faults.vanishOnReport = 2;
  auto device = StartSimulator(options);
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  host.SendReport(commandPacket(Command::QueryDevice));
  ASSERT_TRUE(host.NextReport());
  host.SendReport(commandPacket(Command::EraseDevice));
  EXPECT_TRUE(host.PeerClosed());
  ASSERT_TRUE(waitFor(*device, [](const DeviceActivity& a) { return a.ended; }));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "dev.props"));
  EXPECT_EQ(device->server().memory().at(0).bytes, Bytes(4, 0x5A)) << "the erase was not carried out";
  EXPECT_EQ(device->server().activity().stats.received(Command::EraseDevice), 0u);
  EXPECT_EQ(device->disappear(), RunEnd::Vanished);
}

TEST(DevsimServer, UnsolicitedReportGreetsEverySession) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.faults.unsolicited = true;
  auto device = StartSimulator(options);
  for (int session = 0; session < 2; ++session) {
    auto host = SeqPacketPeer::ConnectTo(device->socketPath());
    auto stray = host.NextReport();
    ASSERT_TRUE(stray);
    EXPECT_EQ((*stray)[0], kUnsolicitedCode);
    EXPECT_EQ(stray->size(), kReportSize);
  }
}

// Reports of its own go out beside the answers, as many as were asked for; a report of the
// host's still gets its answer.
TEST(DevsimServer, AFloodComesFromConnectionOnBesideTheAnswers) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.faults.floodLength = 63;
  options.faults.floodCount = 40;
  auto device = StartSimulator(options);
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  host.SendReport(commandPacket(Command::QueryDevice));
  int flooded = 0;
  int answers = 0;
  while (auto report = host.NextReport(200ms)) {
    if (report->size() == 63 && (*report)[0] == kUnsolicitedCode) ++flooded;
    if (report->size() == kReportSize && (*report)[0] == static_cast<std::uint8_t>(Command::QueryDevice)) ++answers;
  }
  EXPECT_EQ(flooded, 40);
  EXPECT_EQ(answers, 1);
  EXPECT_EQ(device->server().activity().reportsSent, 41u);
}

TEST(DevsimServer, AFloodWithAnIntervalSendsOneReportPerInterval) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.faults.floodLength = 63;
  options.faults.floodInterval = 20ms;
  auto device = StartSimulator(options);
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  const auto connected = Clock::now();
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(host.NextReport(5s)) << i;
  EXPECT_GE(Clock::now() - connected, 70ms) << "the first at once, then one every 20 ms";
}

TEST(DevsimServer, ALateAnswerLeavesItsTimeAfterTheReport) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.faults.lateAnswer = LateAnswer{2, 150ms};
  auto device = StartSimulator(options);
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  host.SendReport(commandPacket(Command::QueryDevice));
  ASSERT_TRUE(host.NextReport(5s));
  const auto sent = Clock::now();
  host.SendReport(getDataPacket(0x800, 4));
  EXPECT_FALSE(host.NextReport(50ms));
  EXPECT_FALSE(device->server().handlingReport()) << "late on purpose";
  ASSERT_TRUE(host.NextReport(5s));
  EXPECT_GE(Clock::now() - sent, 150ms);
}

TEST(DevsimServer, ReportsWaitWhileTheDeviceErases) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.eraseTime = 150ms;
  auto device = StartSimulator(options);
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  const auto sent = Clock::now();
  host.SendReport(commandPacket(Command::EraseDevice));
  host.SendReport(commandPacket(Command::QueryDevice));
  ASSERT_TRUE(host.NextReport(5s));
  EXPECT_GE(Clock::now() - sent, 150ms);
}

// Polls until `condition` holds; false when it did not within five seconds.
bool eventually(const std::function<bool()>& condition) {
  const auto deadline = Clock::now() + 5s;
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// What a host on simulated time relies on: from the moment it has sent a report, the device
// is handling it until the answer can be read.
TEST(DevsimServer, AReportIsBeingHandledUntilItsAnswerIsThere) {
  TempDir dir("devsim");
  auto device = StartSimulator(SimulatorOptions(dir.path(), "dev"));
  EXPECT_FALSE(device->server().handlingReport()) << "no host";
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  const auto answerThere = [&] {
    pollfd entry{host.Descriptor(), POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1;
  };
  for (int i = 0; i < 200; ++i) {
    host.SendReport(commandPacket(Command::QueryDevice));
    while (device->server().handlingReport()) {
    }
    ASSERT_TRUE(answerThere()) << i;
    ASSERT_TRUE(host.NextReport());
  }
}

TEST(DevsimServer, AReportWaitingWhileTheDeviceErasesIsNotBeingHandled) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.eraseTime = 10min;
  auto device = StartSimulator(options);
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  host.SendReport(commandPacket(Command::EraseDevice));
  host.SendReport(commandPacket(Command::QueryDevice));
  ASSERT_TRUE(waitFor(*device, [](const DeviceActivity& a) { return a.stats.received(Command::EraseDevice) == 1; }));
  EXPECT_TRUE(eventually([&] { return !device->server().handlingReport(); }));
  EXPECT_FALSE(host.NextReport(50ms)) << "the query is still waiting";
}

TEST(DevsimServer, PacedDeviceTakesOneReportPerMillisecond) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.pace = true;
  auto device = StartSimulator(options);
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  constexpr int kReports = 30;
  const auto sent = Clock::now();
  for (int i = 0; i < kReports; ++i) host.SendReport(commandPacket(Command::QueryDevice));
  for (int i = 0; i < kReports; ++i) ASSERT_TRUE(host.NextReport(5s)) << i;
  EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(kReports - 1));
}

TEST(DevsimServer, AnswerLengthOnTheWire) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.faults.answerLength = 0;
  auto device = StartSimulator(options);
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  host.SendReport(commandPacket(Command::QueryDevice));
  auto answer = host.NextReport();
  ASSERT_TRUE(answer);  // a datagram holding only the report id
  EXPECT_TRUE(answer->empty());
}

TEST(DevsimServer, OneLiveDevicePerNameButStaleFilesAreReplaced) {
  TempDir dir("devsim");
  auto first = StartSimulator(SimulatorOptions(dir.path(), "dev"));
  auto second = BackgroundDevice::start(SimulatorOptions(dir.path(), "dev"));
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error().code, ErrorCode::DeviceExists);
  first->disappear();

  // A process that runs but is not ours to signal is no less alive.
  { std::ofstream foreign(dir.path() / "dev.props"); foreign << "VendorID=1\nPid=1\n"; }
  auto blocked = BackgroundDevice::start(SimulatorOptions(dir.path(), "dev"));
  ASSERT_FALSE(blocked);
  EXPECT_EQ(blocked.error().code, ErrorCode::DeviceExists);

  // Left by a simulator that was killed: its process is gone.
  { std::ofstream stale(dir.path() / "dev.sock"); }
  { std::ofstream stale(dir.path() / "dev.props"); stale << "VendorID=1\nPid=2147483000\n"; }
  auto third = StartSimulator(SimulatorOptions(dir.path(), "dev"));
  auto host = SeqPacketPeer::ConnectTo(third->socketPath());
  EXPECT_TRUE(host.IsConnected());
}

TEST(DevsimServer, TellingARunningDeviceApartOpensNoSessionWithIt) {
  TempDir dir("devsim");
  Options options = SimulatorOptions(dir.path(), "dev");
  options.faults.unsolicited = true;
  auto first = StartSimulator(options);
  auto second = BackgroundDevice::start(options);
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error().code, ErrorCode::DeviceExists);

  // The next session to start is this one: it is the first, and the greeting is its own.
  auto host = SeqPacketPeer::ConnectTo(first->socketPath());
  auto greeting = host.NextReport();
  ASSERT_TRUE(greeting);
  EXPECT_EQ((*greeting)[0], kUnsolicitedCode);
  EXPECT_EQ(first->server().activity().sessionsStarted, 1u);
}

TEST(DevsimServer, AnEmptyDatagramIsDroppedNotTakenForTheHostLeaving) {
  TempDir dir("devsim");
  auto device = StartSimulator(SimulatorOptions(dir.path(), "dev"));
  auto host = SeqPacketPeer::ConnectTo(device->socketPath());
  host.SendDatagram({});
  host.SendReport(commandPacket(Command::QueryDevice));
  auto answer = host.NextReport();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)[0], static_cast<std::uint8_t>(Command::QueryDevice));
  const DeviceActivity activity = device->server().activity();
  EXPECT_EQ(activity.sessionsStarted, 1u);
  EXPECT_TRUE(activity.hostConnected);
  EXPECT_EQ(activity.stats.reportsReceived, 1u);
}

// Another local user can make the folder first, to watch or fake the devices in it.
TEST(DevsimServer, RefusesAFolderThatIsNotPrivateToTheUser) {
  TempDir dir("devsim");
  const auto openIn = [](const std::filesystem::path& folder) {
    return DeviceServer::open(SimulatorOptions(folder, "dev"));
  };
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  auto shared = openIn(dir.path());
  ASSERT_FALSE(shared);
  EXPECT_EQ(shared.error().code, ErrorCode::FileSystem);
  EXPECT_NE(shared.error().message.find(dir.path().string()), std::string::npos) << shared.error().message;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "dev.sock"));

  ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);
  std::filesystem::create_directory(dir.path() / "real");
  std::filesystem::create_directory_symlink(dir.path() / "real", dir.path() / "link");
  auto linked = openIn(dir.path() / "link");
  ASSERT_FALSE(linked);
  EXPECT_EQ(linked.error().code, ErrorCode::FileSystem);
}

TEST(DevsimServer, AnUnusableSocketPathIsAnErrorNotACrash) {
  TempDir dir("devsim");
  std::filesystem::create_symlink(dir.path() / "dev.sock", dir.path() / "dev.sock");  // a loop
  auto server = DeviceServer::open(SimulatorOptions(dir.path(), "dev"));
  ASSERT_FALSE(server);
  EXPECT_EQ(server.error().code, ErrorCode::FileSystem);
}

TEST(DevsimServer, CreatesAPrivateDeviceFolder) {
  TempDir dir("devsim");
  auto device = StartSimulator(SimulatorOptions(dir.path() / "nested" / "hid", "dev"));
  auto perms = std::filesystem::status(dir.path() / "nested" / "hid").permissions();
  EXPECT_EQ(perms, std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace devsim
