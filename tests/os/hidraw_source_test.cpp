#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "os/event_loop.h"
#include "os/iokit_hid.h"
#include "test_support.h"

namespace {

using namespace ostest;
namespace fs = std::filesystem;

// A sysfs tree as the kernel lays it out: hidrawN/device links to the HID device, which
// sits below the USB interface and the USB device.
class OsHidraw : public ::testing::Test {
 protected:
  void addUsbNode(const std::string& node, const std::string& hidId, const std::map<std::string, std::string>& usbFiles) {
    const fs::path usbDevice = isolated_.sysfsRoot() / "devices" / ("usb-" + node);
    const fs::path hidDevice = usbDevice / "1-1:1.0" / "0003:1234:5678.0001";
    WriteFile(usbDevice / "idVendor", "1234\n");
    for (const auto& [name, contents] : usbFiles) WriteFile(usbDevice / name, contents + "\n");
    WriteFile(hidDevice / "uevent", "DRIVER=hid-generic\nHID_ID=" + hidId + "\nHID_NAME=Trovak Bootloader\nHID_UNIQ=\n");
    fs::create_directories(isolated_.sysfsRoot() / node);
    fs::create_directory_symlink(hidDevice, isolated_.sysfsRoot() / node / "device");
  }

  // A device not on USB: only its uevent tells who it is.
  void addPlainNode(const std::string& node, const std::string& uevent) {
    WriteFile(isolated_.sysfsRoot() / node / "device" / "uevent", uevent);
  }

  // Makes the node's /dev entry lead to the pseudo-terminal that plays the device.
  void plugIn(const std::string& node, const PtyNode& pty) {
    fs::create_symlink(pty.terminalPath(), isolated_.devRoot() / node);
  }

  IsolatedDevices isolated_;
};

TEST_F(OsHidraw, NodesEnumerateInNumberOrderWithSysfsIdentity) {
  addPlainNode("hidraw10", "HID_ID=0005:00001236:0000567A\nHID_NAME=BT Keyboard\nHID_UNIQ=aa:bb:cc\n");
  addUsbNode("hidraw2", "0003:00001234:00005678",
             {{"bcdDevice", "0102"}, {"manufacturer", "Trovak GmbH"}, {"product", "Boot Loader"}});
  addPlainNode("hidraw0", "HID_ID=0018:00001235:00005679\nHID_NAME=\nHID_UNIQ=\n");
  fs::create_directories(isolated_.sysfsRoot() / "hidrawX");  // not a node

  MatchedDevices devices;
  ASSERT_EQ(devices.size(), 3u);

  EXPECT_EQ(numberProperty(devices[0], "VendorID"), 0x1235);
  EXPECT_EQ(textProperty(devices[0], "Product"), std::nullopt) << "an empty HID_NAME tells nothing";
  EXPECT_EQ(textProperty(devices[0], "SerialNumber"), std::nullopt);

  EXPECT_EQ(numberProperty(devices[1], "VendorID"), 0x1234);
  EXPECT_EQ(numberProperty(devices[1], "ProductID"), 0x5678);
  EXPECT_EQ(numberProperty(devices[1], "VersionNumber"), 0x0102);
  EXPECT_EQ(textProperty(devices[1], "Manufacturer"), "Trovak GmbH");
  EXPECT_EQ(textProperty(devices[1], "Product"), "Boot Loader");
  EXPECT_EQ(textProperty(devices[1], "SerialNumber"), std::nullopt) << "the USB device has no serial";

  EXPECT_EQ(numberProperty(devices[2], "ProductID"), 0x567A);
  EXPECT_EQ(textProperty(devices[2], "Product"), "BT Keyboard");
  EXPECT_EQ(textProperty(devices[2], "SerialNumber"), "aa:bb:cc");
  EXPECT_EQ(textProperty(devices[2], "Manufacturer"), std::nullopt);
}

TEST_F(OsHidraw, InvalidUtf8FromSysfsIsRepairedNotLost) {
  addPlainNode("hidraw0", "HID_ID=0003:00000001:00000002\nHID_NAME=Ger\xE4t\n");
  MatchedDevices devices;
  EXPECT_EQ(textProperty(devices[0], "Product"), "Ger\xEF\xBF\xBDt");
}

TEST_F(OsHidraw, SysfsFilesThatAreNoRegularFileTellNothing) {
  const fs::path uevent = isolated_.sysfsRoot() / "hidraw0" / "device" / "uevent";
  fs::create_directories(uevent.parent_path());
  ASSERT_EQ(::mkfifo(uevent.c_str(), 0600), 0);
  std::optional<std::int32_t> vendor = 0;
  EXPECT_TRUE(FinishesWithin(2s, {uevent}, [&] {
    MatchedDevices devices;
    if (devices.size() == 1) vendor = numberProperty(devices[0], "VendorID");
  })) << "enumeration waited for a writer";
  EXPECT_EQ(vendor, std::nullopt);
}

TEST_F(OsHidraw, ReportsTravelThroughTheNodeAndUnplugIsRemoval) {
  addUsbNode("hidraw0", "0003:00001234:00005678", {{"bcdDevice", "0001"}});
  PtyNode pty;
  plugIn("hidraw0", pty);
  MatchedDevices devices;
  ConnectedDevice connected(devices[0]);
  ASSERT_EQ(connected.openResult(), kIOReturnSuccess);

  Bytes query(64, 0);
  query[0] = 2;
  ASSERT_EQ(connected.send(query), kIOReturnSuccess);
  Bytes expected{0};
  expected.insert(expected.end(), query.begin(), query.end());
  EXPECT_EQ(pty.read(65), expected) << "the report id goes first";

  pty.write({2, 56, 1, 0, 0x0D, 0x0A});
  ASSERT_TRUE(RunEventLoopUntil([&] { return connected.reports().size() == 1; }));
  EXPECT_EQ(connected.reports()[0], (Bytes{2, 56, 1, 0, 0x0D, 0x0A})) << "hidraw reports pass unchanged";

  pty.hangUp();
  ASSERT_TRUE(RunEventLoopUntil([&] { return connected.removals() == 1; }));
  OSRunEventLoopOnce(0.001);
  EXPECT_EQ(connected.removals(), 1);
  EXPECT_EQ(connected.send(query), kIOReturnNoDevice);
}

TEST_F(OsHidraw, UnopenableNodeIsLoggedWithItsCause) {
  addUsbNode("hidraw3", "0003:00001234:00005678", {});
  MatchedDevices devices;
  LogCapture log;
  ConnectedDevice connected(devices[0]);
  EXPECT_EQ(connected.openResult(), kIOReturnNoDevice);
  ASSERT_EQ(log.lines().size(), 1u);
  const std::string node = (isolated_.devRoot() / "hidraw3").string();
  EXPECT_NE(log.lines()[0].find(node), std::string::npos) << log.lines()[0];
  EXPECT_NE(log.lines()[0].find(std::strerror(ENOENT)), std::string::npos) << log.lines()[0];
}

TEST_F(OsHidraw, NodeGoneFromSysfsHasNoInterface) {
  addUsbNode("hidraw0", "0003:00001234:00005678", {});
  MatchedDevices devices;
  fs::remove_all(isolated_.sysfsRoot() / "hidraw0");
  EXPECT_EQ(CreatePlugIn(devices[0]).result, kIOReturnNoDevice);
}

TEST_F(OsHidraw, ReopeningANodeGoneFromSysfsIsNoDevice) {
  addUsbNode("hidraw0", "0003:00001234:00005678", {});
  PtyNode pty;
  plugIn("hidraw0", pty);
  MatchedDevices devices;
  ConnectedDevice connected(devices[0]);
  IOHIDDeviceInterface** device = connected.device();
  ASSERT_EQ((*device)->close(device), kIOReturnSuccess);
  fs::remove_all(isolated_.sysfsRoot() / "hidraw0");

  LogCapture log;
  EXPECT_EQ((*device)->open(device, 0), kIOReturnNoDevice) << "the /dev entry alone is no device";
  EXPECT_EQ(log.lines(), std::vector<std::string>());
}

TEST_F(OsHidraw, SystemDevicesComeBeforeVirtualOnes) {
  FakeVirtualDevice simulated(isolated_.virtualDir(), "a-first-by-name", {{"VendorID", "2"}});
  addPlainNode("hidraw0", "HID_ID=0003:00000001:00000001\n");
  MatchedDevices devices;
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(numberProperty(devices[0], "VendorID"), 1);
  EXPECT_EQ(numberProperty(devices[1], "VendorID"), 2);
}

}  // namespace
