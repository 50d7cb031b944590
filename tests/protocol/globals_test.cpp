// The HID globals: their values at start-up, and the order in which the program lets go of
// them at quit. Each object that goes notes which globals were still there when it went.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "hid.h"
#include "protocol_test_support.h"

namespace {

std::vector<std::string> g_events;

std::string StillHeld() {
  std::string held;
  if (HID::DeviceMac) held += " DeviceMac";
  if (!HID::MemoryRegions.empty()) held += " MemoryRegions";
  if (HID::DeviceWin) held += " DeviceWin";
  if (HID::logfile) held += " logfile";
  if (!HID::datafile.empty()) held += " datafile";
  if (!HID::dataversion.empty()) held += " dataversion";
  if (!HID::datatitle.empty()) held += " datatitle";
  return held;
}

class NotedOrvane : public MyOrvane {
 protected:
  ~NotedOrvane() override { g_events.push_back("device goes; held:" + StillHeld()); }
};

class NotedRegion : public MemoryRegion {
 protected:
  ~NotedRegion() override { g_events.push_back("region goes; held:" + StillHeld()); }
};

class NotedTessik : public fw::TessikZuv {
 protected:
  ~NotedTessik() override { g_events.push_back("Windows device goes; held:" + StillHeld()); }
};

class NotedStream : public fw::TextOutputStream {
 public:
  NotedStream() : TextOutputStream(std::ofstream()) {}

 protected:
  ~NotedStream() override { g_events.push_back("log goes; held:" + StillHeld()); }
};

class PROTOCOL_SUITE(Globals) : public ::testing::Test {
 protected:
  void SetUp() override {
    protocol_test::UseStandInOrvane();
    g_events.clear();
  }
  void TearDown() override { protocol_test::ResetHidGlobals(); }
};

// ctest runs every test in a process of its own, so this sees the values of a fresh start.
TEST_F(PROTOCOL_SUITE(Globals), StartWithTheirZeroValues) {
  EXPECT_FALSE(HID::DeviceMac);
  EXPECT_FALSE(HID::DeviceWin);
  EXPECT_FALSE(HID::logfile);
  EXPECT_FALSE(HID::DeviceFound);
  EXPECT_TRUE(HID::MemoryRegions.empty());
  EXPECT_TRUE(HID::dataversion.empty() && HID::datatitle.empty() && HID::datafile.empty());
  for (int32_t value : {HID::VendorID, HID::ProductID, HID::memoryRegionsDetected,
                        HID::BytesPerPacket, HID::DeviceFamily, HID::bytesPerAddress}) {
    EXPECT_EQ(value, 0);
  }
}

TEST_F(PROTOCOL_SUITE(Globals), AreReleasedAtQuitInTheirOrder) {
  HID::DeviceMac = fw::MakeRef<NotedOrvane>();
  HID::MemoryRegions = {fw::MakeRef<NotedRegion>(), fw::MakeRef<NotedRegion>()};
  HID::DeviceWin = fw::MakeRef<NotedTessik>();
  HID::logfile = fw::MakeRef<NotedStream>();
  HID::datafile = ":00000001FF";
  HID::dataversion = "1.2";
  HID::datatitle = "Update";
  HID::VendorID = 0x1234;
  HID::memoryRegionsDetected = 2;

  HID::ReleaseGlobals();

  EXPECT_EQ(g_events,
            (std::vector<std::string>{
                "device goes; held: MemoryRegions DeviceWin logfile datafile dataversion datatitle",
                "region goes; held: DeviceWin logfile datafile dataversion datatitle",
                "region goes; held: DeviceWin logfile datafile dataversion datatitle",
                "Windows device goes; held: logfile datafile dataversion datatitle",
                "log goes; held: datafile dataversion datatitle",
            }));
  EXPECT_EQ(StillHeld(), "");
  // Plain values are left as they were.
  EXPECT_EQ(HID::VendorID, 0x1234);
  EXPECT_EQ(HID::memoryRegionsDetected, 2);
}

}  // namespace
