// Connecting to the current device and sending output reports, against a hand-made virtual
// device that shows exactly what went over the wire.
#include <cerrno>
#include <climits>
#include <cstring>

#include "memory_block.h"
#include "os/debug_log.h"
#include "orvane_test_support.h"
#include "plugin_decls/entry_points.h"
#include "plugin_host.h"

namespace orvanetest {
namespace {

class OrvaneConnection : public OrvaneTest {
 protected:
  static fw::Ref<fw::MemoryBlock> Block(std::string_view bytes) {
    return fw::MakeRef<fw::MemoryBlock>(bytes);
  }

  static std::vector<uint8_t> Packet(uint8_t reportId, std::string_view report) {
    std::vector<uint8_t> packet{reportId};
    packet.insert(packet.end(), report.begin(), report.end());
    return packet;
  }
};

TEST_F(OrvaneConnection, ConnectWithoutACurrentDeviceFailsWithOne) {
  auto device = fw::MakeRef<RecordingDevice>();
  device->Connect();
  EXPECT_EQ(device->Lasterror(), 1);

  ASSERT_FALSE(device->FindFirstDevice());  // the folder is empty
  device->Connect();
  EXPECT_EQ(device->Lasterror(), 1);
}

TEST_F(OrvaneConnection, ADeviceThatCannotBeOpenedFailsWithThree) {
  FakeVirtualDevice fake(folders.virtualDir(), "deaf", FakeProps());
  fake.StopListening();
  auto device = fw::MakeRef<RecordingDevice>();
  ASSERT_TRUE(device->FindFirstDevice());
  std::vector<std::string> logged;
  OSSetDebugLogSink(
      [](const char* line, void* lines) { static_cast<std::vector<std::string>*>(lines)->emplace_back(line); },
      &logged);
  device->Connect();
  OSSetDebugLogSink(nullptr, nullptr);
  EXPECT_EQ(device->Lasterror(), 3);
  // The debug log tells which device and why.
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find((folders.virtualDir() / "deaf.sock").string()), std::string::npos) << logged[0];
  EXPECT_NE(logged[0].find(std::strerror(ECONNREFUSED)), std::string::npos) << logged[0];
  device->Disconnect();
  EXPECT_EQ(device->Lasterror(), 0);
}

TEST_F(OrvaneConnection, ASendBeforeConnectSendsNothing) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  auto device = fw::MakeRef<RecordingDevice>();
  ASSERT_TRUE(device->FindFirstDevice());
  device->SendMessage("early");
  EXPECT_EQ(device->Lasterror(), -1);
  device->SendMessageMemory(Block("early"), 0, 5);
  EXPECT_EQ(device->Lasterror(), -1);
  device->InstallCallback();
  EXPECT_EQ(device->Lasterror(), -1);

  device->Connect();
  ASSERT_EQ(device->Lasterror(), 0);
  ASSERT_TRUE(fake.AcceptHost());
  device->SendMessage("first");
  EXPECT_EQ(device->Lasterror(), 0);
  // Nothing was queued before: the first report on the wire is the one sent after Connect.
  EXPECT_EQ(fake.NextDatagram(), Packet(0, "first"));
}

TEST_F(OrvaneConnection, EverySendPutsItsReportIdAndBytesOnTheWire) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  auto device = ConnectTo(fake);

  device->SendMessage("");  // a nil string
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_EQ(fake.NextDatagram(), Packet(0, ""));

  device->SendMessage(std::string("a\0b", 3));
  EXPECT_EQ(fake.NextDatagram(), Packet(0, std::string_view("a\0b", 3)));

  device->SendMessage(5, "xy");
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_EQ(fake.NextDatagram(), Packet(5, "xy"));

  const auto block = Block("0123456789");
  device->SendMessageMemory(block, 2, 3);
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_EQ(fake.NextDatagram(), Packet(0, "234"));

  device->SendMessageMemory(3, block, 0, 10);
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_EQ(fake.NextDatagram(), Packet(3, "0123456789"));

  device->SendMessageMemory(block, 10, 0);  // an empty range at the very end
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_EQ(fake.NextDatagram(), Packet(0, ""));
}

TEST_F(OrvaneConnection, AMemorySendOutsideItsBufferIsRefusedAndSendsNothing) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  auto device = ConnectTo(fake);
  const auto block = Block("0123456789");
  struct Range {
    bool withBuffer;
    int32_t offset;
    int32_t length;
  };
  const Range refused[] = {{false, 0, 0},        {false, 0, 4},
                           {true, -1, 2},        {true, 0, -1},
                           {true, 8, 3},         {true, 11, 0},
                           {true, 0, 11},        {true, INT32_MAX, 2},
                           {true, 2, INT32_MAX}, {true, INT32_MAX, INT32_MAX}};
  for (const Range& range : refused) {
    device->SetLasterror(0);
    device->SendMessageMemory(range.withBuffer ? block : nullptr, range.offset, range.length);
    EXPECT_EQ(device->Lasterror(), -1) << range.offset << "+" << range.length;
    device->SetLasterror(0);
    device->SendMessageMemory(9, range.withBuffer ? block : nullptr, range.offset, range.length);
    EXPECT_EQ(device->Lasterror(), -1) << range.offset << "+" << range.length;
  }
  device->SendMessageMemory(block, 6, 4);
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_EQ(fake.NextDatagram(), Packet(0, "6789"));  // the first report that went out
}

TEST_F(OrvaneConnection, AMemorySendIsRefusedWhenTheBufferSizeIsUnknown) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  fw::PluginHost& host = fw::PluginHost::Instance();
  // Loaded again with the size service missing, so that the plug-in's cache forgets it.
  host.HideService("memoryBlockGetSize", true);
  ASSERT_TRUE(host.LoadPlugins(fw::ExecutableFolder(), {"Orvane"}).empty());
  ASSERT_TRUE(fw::InitPluginEntrypoints().empty());

  auto device = ConnectTo(fake);
  device->SendMessageMemory(Block("0123"), 0, 4);
  EXPECT_EQ(device->Lasterror(), -1);

  // The plug-in asks again on the next call.
  host.HideService("memoryBlockGetSize", false);
  device->SendMessageMemory(Block("0123"), 0, 4);
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_EQ(fake.NextDatagram(), Packet(0, "0123"));
}

TEST_F(OrvaneConnection, AfterDisconnectSendsReachTheClosedInterface) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  auto device = ConnectTo(fake);
  device->SetLasterror(9);
  device->Disconnect();
  EXPECT_EQ(device->Lasterror(), 0);
  EXPECT_TRUE(fake.HostClosed());

  device->SendMessage("late");
  EXPECT_EQ(device->Lasterror(), kIOReturnNotOpen);
  device->SendMessageMemory(Block("late"), 0, 4);
  EXPECT_EQ(device->Lasterror(), kIOReturnNotOpen);
  device->InstallCallback();
  EXPECT_EQ(device->Lasterror(), kIOReturnNotOpen);

  // The same device can be connected again.
  device->Connect();
  ASSERT_EQ(device->Lasterror(), 0);
  ASSERT_TRUE(fake.AcceptHost());
  device->SendMessage("again");
  EXPECT_EQ(fake.NextDatagram(), Packet(0, "again"));
}

TEST_F(OrvaneConnection, FindFirstDeviceClosesTheConnection) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  auto device = ConnectTo(fake);
  ASSERT_TRUE(device->FindFirstDevice());
  EXPECT_TRUE(fake.HostClosed());
  device->SendMessage("late");
  EXPECT_EQ(device->Lasterror(), kIOReturnNotOpen);
}

// The interface's reference count shows who still holds it: take one reference of our own,
// and see whether ours is the last.
ULONG ReleaseOwnReference(IOHIDDeviceInterface** interface) {
  return (*interface)->Release(interface);
}

TEST_F(OrvaneConnection, AReplacedInterfaceAndTheOneCloseLeavesAreReleased) {
  FakeVirtualDevice fake(folders.virtualDir(), "fake", FakeProps());
  auto device = ConnectTo(fake);
  IOHIDDeviceInterface** first = device->Data().deviceInterface;
  ASSERT_NE(first, nullptr);
  (*first)->AddRef(first);

  device->Connect();
  ASSERT_EQ(device->Lasterror(), 0);
  IOHIDDeviceInterface** second = device->Data().deviceInterface;
  ASSERT_NE(second, first);
  EXPECT_EQ(ReleaseOwnReference(first), 0u);

  (*second)->AddRef(second);
  device->Close();
  EXPECT_EQ(device->Data().deviceInterface, nullptr);
  EXPECT_EQ(ReleaseOwnReference(second), 0u);
  device->SendMessage("closed");
  EXPECT_EQ(device->Lasterror(), -1);
}

}  // namespace
}  // namespace orvanetest
