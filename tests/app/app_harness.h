// Runs the whole updater in the test's process: the real plug-ins, the device simulator on a
// thread, the scripted front end and virtual time. Each test gets its own folders: the
// program seems to live in <tmp>/bin with its resources in <tmp>/Resources.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "clock.h"
#include "devsim/device_server.h"
#include "frontends/scripted_front_end.h"
#include "isolated_devices.h"
#include "temp_dir.h"

namespace app_test {

inline constexpr uint16_t kVendorId = 0x1234;
inline constexpr uint16_t kProductId = 0x5678;

// A firmware text as the updater's loader reads it: CR LF line ends, the end-of-file record.
std::string IntelHex(const std::vector<std::string>& records);

class UpdaterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  const std::filesystem::path& Bin() const { return bin_; }
  const std::filesystem::path& Resources() const { return resources_; }

  // "logo.jpg" carrying payload (before the XOR) as its colour profile.
  void WriteLogo(const std::string& payload);
  // The usual payload: version, title, the simulator's ids and the firmware text.
  void WriteUpdate(const std::string& firmware, const std::string& version = "1.0",
                   const std::string& title = "Test Update", int vendor = kVendorId, int product = kProductId);
  void WriteMakerPicture();

  devsim::Options DeviceOptions(const std::string& name = "board", uint16_t vendor = kVendorId,
                                uint16_t product = kProductId) const;
  devsim::BackgroundDevice& StartDevice(const devsim::Options& options);
  std::filesystem::path VirtualDeviceFolder() const;

  // The whole program from the application object to the exit code.
  int RunUpdater();
  // The lines the program wrote to the debug log, in order.
  const std::vector<std::string>& LogLines() const { return logLines_; }
  bool Logged(const std::string& line) const;

  fw::VirtualClock clock;
  fw::ScriptedFrontEnd frontEnd;

 private:
  static void TakeLogLine(const char* line, void* context);

  testsupport::TempDir root_{"updater"};
  std::filesystem::path bin_;
  std::filesystem::path resources_;
  std::filesystem::path previousExecutable_;
  std::filesystem::path previousAppFolder_;
  std::vector<std::string> logLines_;
  std::vector<std::unique_ptr<devsim::BackgroundDevice>> devices_;
  uint64_t strayAccessesBefore_ = 0;
};

}  // namespace app_test
