#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "os/event_loop.h"
#include "os/iokit_hid.h"
#include "scoped_env.h"
#include "test_support.h"

namespace {

using namespace ostest;

std::map<std::string, std::string> bootloaderProperties() {
  return {{"VendorID", "4660"},      {"ProductID", "22136"},           {"VersionNumber", "258"},
          {"Manufacturer", "Trovak"}, {"Product", "Ger\xC3\xA4t"}, {"SerialNumber", "SN-0001"}};
}

class OsVirtualDevices : public ::testing::Test {
 protected:
  IsolatedDevices isolated_;
  const std::filesystem::path& dir() const { return isolated_.virtualDir(); }
};

TEST_F(OsVirtualDevices, EnumeratedInNameOrderWithTheirIdentity) {
  FakeVirtualDevice second(dir(), "zeta", {{"VendorID", "1"}, {"ProductID", "2"}});
  FakeVirtualDevice first(dir(), "alpha", bootloaderProperties());

  MatchedDevices devices;
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(numberProperty(devices[0], "VendorID"), 4660);
  EXPECT_EQ(numberProperty(devices[0], "ProductID"), 22136);
  EXPECT_EQ(numberProperty(devices[0], "VersionNumber"), 258);
  EXPECT_EQ(textProperty(devices[0], "Manufacturer"), "Trovak");
  EXPECT_EQ(textProperty(devices[0], "Product"), "Ger\xC3\xA4t");
  EXPECT_EQ(textProperty(devices[0], "SerialNumber"), "SN-0001");
  EXPECT_EQ(numberProperty(devices[1], "VendorID"), 1);
}

TEST_F(OsVirtualDevices, UntoldPropertiesAreAbsentAndEmptyTextsEmpty) {
  FakeVirtualDevice device(dir(), "plain", {{"VendorID", "4660"}, {"SerialNumber", ""}, {"ProductID", "lots"}});
  MatchedDevices devices;
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(textProperty(devices[0], "SerialNumber"), "");
  EXPECT_EQ(textProperty(devices[0], "Product"), std::nullopt);
  EXPECT_EQ(numberProperty(devices[0], "ProductID"), std::nullopt) << "not a number: not told";

  CFMutableDictionaryRef properties = nullptr;
  ASSERT_EQ(IORegistryEntryCreateCFProperties(devices[0], &properties, kCFAllocatorDefault, 0), kIOReturnSuccess);
  EXPECT_EQ(CFDictionaryGetCount(properties), 2);
  CFRelease(properties);
}

TEST_F(OsVirtualDevices, LeftoversOfDeadSimulatorsAreSkipped) {
  FakeVirtualDevice stale(dir(), "crashed", {{"VendorID", "1"}, {"Pid", "2147483000"}});
  FakeVirtualDevice socketless(dir(), "half", {{"VendorID", "2"}}, /*withSocket=*/false);
  FakeVirtualDevice live(dir(), "live", {{"VendorID", "3"}});
  MatchedDevices devices;
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(numberProperty(devices[0], "VendorID"), 3);
}

std::vector<std::optional<std::int32_t>> vendorIdsFound() {
  MatchedDevices devices;
  std::vector<std::optional<std::int32_t>> vendors;
  for (io_object_t entry : devices.entries()) vendors.push_back(numberProperty(entry, "VendorID"));
  return vendors;
}

TEST_F(OsVirtualDevices, PropsThatAreNoRegularFileAreSkippedWithoutWaiting) {
  const std::filesystem::path fifo = dir() / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  FakeVirtualDevice piped(dir(), "piped", {{"VendorID", "1"}});
  std::filesystem::remove(dir() / "piped.props");
  ASSERT_EQ(::mkfifo((dir() / "piped.props").c_str(), 0600), 0);
  FakeVirtualDevice linked(dir(), "linked", {{"VendorID", "2"}});
  std::filesystem::remove(dir() / "linked.props");
  std::filesystem::create_symlink(fifo, dir() / "linked.props");
  FakeVirtualDevice plain(dir(), "plain", {{"VendorID", "3"}});

  std::vector<std::optional<std::int32_t>> vendors;
  const auto enumerate = [&] { vendors = vendorIdsFound(); };
  EXPECT_TRUE(FinishesWithin(2s, {fifo, dir() / "piped.props"}, enumerate)) << "enumeration waited for a writer";
  EXPECT_EQ(vendors, (std::vector<std::optional<std::int32_t>>{3}));
}

// Another local user can make the folder first and plant devices in it.
TEST_F(OsVirtualDevices, AFolderOthersMayWriteToIsIgnoredWhole) {
  FakeVirtualDevice fake(dir(), "dev", bootloaderProperties());
  MatchedDevices before;
  ASSERT_EQ(before.size(), 1u);
  ASSERT_EQ(::chmod(dir().c_str(), 0777), 0);

  LogCapture log;
  EXPECT_EQ(MatchedDevices().size(), 0u);
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find(dir().string()), std::string::npos) << log.lines()[0];
  EXPECT_NE(log.lines()[0].find("writable by other users"), std::string::npos) << log.lines()[0];

  EXPECT_EQ(CreatePlugIn(before[0]).result, kIOReturnNoDevice) << "an entry listed earlier cannot be opened either";
}

TEST_F(OsVirtualDevices, AFolderReachedThroughALinkIsIgnored) {
  FakeVirtualDevice fake(dir(), "dev", bootloaderProperties());
  const std::filesystem::path link = dir().parent_path() / "linked-virtual";
  std::filesystem::create_directory_symlink(dir(), link);
  testsupport::ScopedEnv linked("UPDATER_VIRTUAL_HID_DIR", link.string());
  LogCapture log;
  EXPECT_EQ(MatchedDevices().size(), 0u);
  EXPECT_EQ(log.lines().size(), 1u);
}

TEST_F(OsVirtualDevices, ADeviceWhoseFilesBelongToSomeoneElseIsIgnored) {
  if (::getuid() != 0) GTEST_SKIP() << "giving a file away takes root";
  FakeVirtualDevice planted(dir(), "planted", {{"VendorID", "1"}});
  FakeVirtualDevice own(dir(), "own", {{"VendorID", "2"}});
  constexpr uid_t kSomeoneElse = 65534;
  ASSERT_EQ(::chown((dir() / "planted.props").c_str(), kSomeoneElse, kSomeoneElse), 0);

  LogCapture log;
  EXPECT_EQ(vendorIdsFound(), (std::vector<std::optional<std::int32_t>>{2}));
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("planted"), std::string::npos) << log.lines()[0];

  ASSERT_EQ(::chown((dir() / "planted.props").c_str(), ::getuid(), ::getgid()), 0);
  ASSERT_EQ(::lchown((dir() / "planted.sock").c_str(), kSomeoneElse, kSomeoneElse), 0);
  EXPECT_EQ(vendorIdsFound(), (std::vector<std::optional<std::int32_t>>{2}));
}

TEST_F(OsVirtualDevices, MatchingKeysBesideTheClassSelectDevices) {
  FakeVirtualDevice other(dir(), "a", {{"VendorID", "1"}, {"ProductID", "22136"}});
  FakeVirtualDevice wanted(dir(), "b", {{"VendorID", "4660"}, {"ProductID", "22136"}});
  CFMutableDictionaryRef matching = IOServiceMatching("IOHIDDevice");
  const int vendor = 4660;
  CFNumberRef vendorNumber = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &vendor);
  CFDictionarySetValue(matching, CFSTR("VendorID"), vendorNumber);
  CFRelease(vendorNumber);

  io_iterator_t iterator = 0;
  ASSERT_EQ(IOServiceGetMatchingServices(kIOMasterPortDefault, matching, &iterator), kIOReturnSuccess);
  const io_object_t entry = IOIteratorNext(iterator);
  EXPECT_EQ(numberProperty(entry, "ProductID"), 22136);
  EXPECT_EQ(numberProperty(entry, "VendorID"), 4660);
  EXPECT_EQ(IOIteratorNext(iterator), 0u);
  IOObjectRelease(entry);
  IOObjectRelease(iterator);
  EXPECT_EQ(IOServiceMatching("IOUSBDevice"), nullptr);
}

TEST_F(OsVirtualDevices, OutputReportsGoWithTheirIdByteFirst) {
  FakeVirtualDevice fake(dir(), "dev", bootloaderProperties());
  MatchedDevices devices;
  ConnectedDevice connected(devices[0]);
  ASSERT_EQ(connected.openResult(), kIOReturnSuccess);
  ASSERT_TRUE(fake.AcceptHost());

  Bytes command(64, 0);
  command[0] = 2;
  EXPECT_EQ(connected.send(command), kIOReturnSuccess);
  EXPECT_EQ(connected.send({0xAA}, 5), kIOReturnSuccess);
  EXPECT_EQ(connected.send({}), kIOReturnSuccess);

  Bytes expected(65, 0);
  expected[1] = 2;
  EXPECT_EQ(fake.NextDatagram(), expected);
  EXPECT_EQ(fake.NextDatagram(), (Bytes{5, 0xAA}));
  EXPECT_EQ(fake.NextDatagram(), (Bytes{0}));
  EXPECT_EQ(connected.send({1}, 256), kIOReturnBadArgument);
}

TEST_F(OsVirtualDevices, SendTimesOutWhenTheDeviceTakesNothing) {
  FakeVirtualDevice fake(dir(), "dev", bootloaderProperties());
  MatchedDevices devices;
  ConnectedDevice connected(devices[0]);
  ASSERT_TRUE(fake.AcceptHost());
  // The simulator reads nothing: fill the socket until it refuses at once.
  const Bytes report(64, 0x55);
  int sent = 0;
  while (connected.send(report, 0, 0) == kIOReturnSuccess) ASSERT_LT(++sent, 100000);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(connected.send(report, 0, 100), kIOReturnTimeout);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 95ms);
  EXPECT_LT(elapsed, 2s);
}

TEST_F(OsVirtualDevices, InputReportsArriveInOrderByteForByte) {
  FakeVirtualDevice fake(dir(), "dev", bootloaderProperties());
  MatchedDevices devices;
  ConnectedDevice connected(devices[0]);
  ASSERT_TRUE(fake.AcceptHost());

  Bytes answer(64, 0);
  answer[0] = 2;
  answer[3] = 0xFF;
  Bytes datagram = answer;
  datagram.insert(datagram.begin(), 0);  // report id
  fake.SendDatagram(datagram);
  fake.SendDatagram({0});           // a report of length 0
  fake.SendDatagram({0, 0, 0, 7});  // zeros are bytes like any other
  fake.SendDatagram({3, 9, 9});     // numbered: the id stays in front

  ASSERT_TRUE(RunEventLoopUntil([&] { return connected.reports().size() == 4; }));
  EXPECT_EQ(connected.reports()[0], answer);
  EXPECT_EQ(connected.reports()[1], Bytes{});
  EXPECT_EQ(connected.reports()[2], (Bytes{0, 0, 7}));
  EXPECT_EQ(connected.reports()[3], (Bytes{3, 9, 9}));
}

TEST_F(OsVirtualDevices, AnEmptyDatagramIsDroppedNotTakenForRemoval) {
  FakeVirtualDevice fake(dir(), "dev", bootloaderProperties());
  MatchedDevices devices;
  ConnectedDevice connected(devices[0]);
  ASSERT_TRUE(fake.AcceptHost());
  fake.SendDatagram({});
  fake.SendDatagram({0, 1, 2});

  ASSERT_TRUE(RunEventLoopUntil([&] { return connected.reports().size() == 1; }));
  EXPECT_EQ(connected.reports()[0], (Bytes{1, 2}));
  EXPECT_EQ(connected.removals(), 0);
  EXPECT_EQ(connected.send({1}), kIOReturnSuccess);
}

TEST_F(OsVirtualDevices, LongReportsAreCutToTheRegisteredBuffer) {
  FakeVirtualDevice fake(dir(), "dev", bootloaderProperties());
  MatchedDevices devices;
  ConnectedDevice connected(devices[0], /*reportBufferSize=*/8);
  ASSERT_TRUE(fake.AcceptHost());
  Bytes datagram(65, 0x11);
  datagram[0] = 0;
  fake.SendDatagram(datagram);
  ASSERT_TRUE(RunEventLoopUntil([&] { return connected.reports().size() == 1; }));
  EXPECT_EQ(connected.reports()[0], Bytes(8, 0x11));
}

TEST_F(OsVirtualDevices, PeerCloseIsOneRemovalAndThenNoDevice) {
  FakeVirtualDevice fake(dir(), "dev", bootloaderProperties());
  MatchedDevices devices;
  ConnectedDevice connected(devices[0]);
  ASSERT_TRUE(fake.AcceptHost());
  fake.SendDatagram({0, 1});
  fake.CloseConnection();

  ASSERT_TRUE(RunEventLoopUntil([&] { return connected.removals() == 1; }));
  EXPECT_EQ(connected.reports(), (std::vector<Bytes>{{1}})) << "what came before the close is still delivered";
  for (int i = 0; i < 5; ++i) OSRunEventLoopOnce(0.001);
  EXPECT_EQ(connected.removals(), 1);

  IOHIDDeviceInterface** device = connected.device();
  EXPECT_EQ(connected.send({1}), kIOReturnNoDevice);
  EXPECT_EQ((*device)->open(device, 0), kIOReturnNoDevice);
  EXPECT_EQ((*device)->close(device), kIOReturnNoDevice);
  EXPECT_EQ((*device)->startAllQueues(device), kIOReturnNoDevice);
}

TEST_F(OsVirtualDevices, ClosedInterfaceRefusesToSendAndReopensOnlyATrustedDevice) {
  FakeVirtualDevice fake(dir(), "dev", bootloaderProperties());
  MatchedDevices devices;
  ConnectedDevice connected(devices[0]);
  IOHIDDeviceInterface** device = connected.device();
  EXPECT_EQ((*device)->close(device), kIOReturnSuccess);
  EXPECT_EQ(connected.send({1}), kIOReturnNotOpen);
  EXPECT_EQ((*device)->close(device), kIOReturnNotOpen);
  Bytes buffer(64);
  EXPECT_EQ((*device)->setInterruptReportHandlerCallback(device, buffer.data(), 64, nullptr, nullptr, nullptr),
            kIOReturnNotOpen);

  // The socket is still there to connect to; opening must look at the folder again.
  ASSERT_EQ(::chmod(dir().c_str(), 0777), 0);
  LogCapture log;
  EXPECT_EQ((*device)->open(device, 0), kIOReturnNoDevice);
  EXPECT_EQ(log.lines(), std::vector<std::string>()) << "a device that is not there is no fault to log";
}

TEST_F(OsVirtualDevices, NoInterfaceForEntryZeroOrAGoneDevice) {
  EXPECT_EQ(CreatePlugIn(0).result, kIOReturnBadArgument);

  auto fake = std::make_unique<FakeVirtualDevice>(dir(), "dev", bootloaderProperties());
  MatchedDevices devices;
  std::filesystem::remove(dir() / "dev.sock");
  const CreatedPlugIn created = CreatePlugIn(devices[0]);
  EXPECT_EQ(created.result, kIOReturnNoDevice);
  EXPECT_EQ(created.plugIn, nullptr);
}

TEST_F(OsVirtualDevices, PlugInAnswersOnlyKnownInterfaces) {
  FakeVirtualDevice fake(dir(), "dev", bootloaderProperties());
  MatchedDevices devices;
  const CreatedPlugIn created = CreatePlugIn(devices[0]);
  ASSERT_EQ(created.result, kIOReturnSuccess);
  EXPECT_EQ(created.score, 0);
  IOCFPlugInInterface** plugIn = created.plugIn;
  LPVOID unknown = &plugIn;
  EXPECT_EQ((*plugIn)->QueryInterface(plugIn, CFUUIDGetUUIDBytes(kIOHIDDeviceUserClientTypeID), &unknown),
            E_NOINTERFACE);
  EXPECT_EQ(unknown, nullptr);
  EXPECT_EQ((*plugIn)->Release(plugIn), 0u);
}

}  // namespace
