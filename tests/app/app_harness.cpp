#include "app_harness.h"

#include <algorithm>
#include <fstream>

#include "folder_item.h"
#include "hid.h"
#include "hid_test_state.h"
#include "memory_block.h"
#include "os/debug_log.h"
#include "runtime_startup.h"
#include "plugin_host.h"
#include "simulator.h"
#include "test_logo.h"
#include "ui/event_loop.h"
#include "updater.h"

namespace app_test {
namespace {

std::unique_ptr<testsupport::IsolatedDevices>& Devices() {
  static std::unique_ptr<testsupport::IsolatedDevices> devices;
  return devices;
}

}  // namespace

std::string IntelHex(const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& record : records) text += record + "\r\n";
  return text + ":00000001FF\r\n";
}

void UpdaterTest::SetUpTestSuite() {
  // Devices appear in folders of this run's own; the machine's real HID devices are never
  // looked at.
  Devices() = std::make_unique<testsupport::IsolatedDevices>();
  static const fw::StartupResult startup = fw::StartPluginRuntime(fw::ExecutableFolder());
  ASSERT_TRUE(startup.ok) << startup.message;
}

void UpdaterTest::TearDownTestSuite() { Devices().reset(); }

void UpdaterTest::SetUp() {
  hid_test::ResetHidGlobals();
  // A script may still act after the program has quit (the front end's last update comes
  // after the event loop's reset); what it posted must not reach the next test's program.
  fw::ResetEventLoop();
  bin_ = root_.path() / "bin";
  resources_ = root_.path() / "Resources";
  std::filesystem::create_directories(bin_);
  std::filesystem::create_directories(resources_);
  previousExecutable_ = fw::SetExecutableFile(bin_ / "Updater");
  previousAppFolder_ = fw::SetApplicationFolder(bin_);
  OSSetDebugLogSink(&UpdaterTest::TakeLogLine, this);
  strayAccessesBefore_ = fw::MemoryBlock::StrayAccesses();
}

void UpdaterTest::TearDown() {
  EXPECT_EQ(fw::MemoryBlock::StrayAccesses(), strayAccessesBefore_) << "accesses outside a memory block";
  devices_.clear();
  hid_test::ResetHidGlobals();
  OSSetDebugLogSink(nullptr, nullptr);
  fw::SetApplicationFolder(previousAppFolder_);
  fw::SetExecutableFile(previousExecutable_);
}

void UpdaterTest::TakeLogLine(const char* line, void* context) {
  static_cast<UpdaterTest*>(context)->logLines_.emplace_back(line);
}

bool UpdaterTest::Logged(const std::string& line) const {
  return std::find(logLines_.begin(), logLines_.end(), line) != logLines_.end();
}

void UpdaterTest::WriteLogo(const std::string& payload) {
  WriteUpdateLogo(resources_ / "logo.jpg", payload);
}

void UpdaterTest::WriteUpdate(const std::string& firmware, const std::string& version, const std::string& title,
                              int vendor, int product) {
  WriteLogo(UpdateText(version, title, vendor, product, firmware));
}

void UpdaterTest::WriteMakerPicture() { WriteTiff(resources_ / "Trovak.tif", 150, 71); }

devsim::Options UpdaterTest::DeviceOptions(const std::string& name, uint16_t vendor, uint16_t product) const {
  return testsupport::SimulatorOptions(VirtualDeviceFolder(), name, vendor, product);
}

std::filesystem::path UpdaterTest::VirtualDeviceFolder() const { return Devices()->virtualDir(); }

devsim::BackgroundDevice& UpdaterTest::StartDevice(const devsim::Options& options) {
  devices_.push_back(testsupport::StartSimulator(options));
  return *devices_.back();
}

int UpdaterTest::RunUpdater() { return ::RunUpdater(); }

}  // namespace app_test
