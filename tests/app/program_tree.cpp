#include "program_tree.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>

#include "plugin_host.h"
#include "test_logo.h"

namespace app_test {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::vector<std::string> RegionOptions(const std::vector<Region>& regions) {
  std::vector<std::string> options;
  for (const Region& region : regions) {
    char text[64];
    std::snprintf(text, sizeof text, "%u:0x%X:0x%X", unsigned{region.type}, region.address, region.size);
    options.insert(options.end(), {"--region", text});
  }
  return options;
}

ProgramTree::ProgramTree(const std::string& program) : program_(program) {
  bin_ = root_.path() / "bin";
  resources_ = root_.path() / "Resources";
  devices_ = root_.path() / "hid";
  for (const fs::path& folder : {bin_, resources_, devices_}) fs::create_directories(folder);
  fs::permissions(devices_, fs::perms::owner_all, fs::perm_options::replace);
  fs::create_directories(root_.path() / "sysfs");
  fs::create_directories(root_.path() / "dev");
  // Copies, not links: the program finds its plug-ins and resources from its own path.
  for (const std::string& file : {program, std::string("Orvane.so"), std::string("Tessik.so")}) {
    fs::copy_file(fw::ExecutableFolder() / file, bin_ / file);
  }
}

void ProgramTree::WriteUpdate(const std::string& firmwareHex, int vendor, int product) {
  WriteUpdateLogo(resources_ / "logo.jpg", UpdateText("1.0", "Tree Update", vendor, product, firmwareHex));
}

std::vector<std::string> ProgramTree::Environment() const {
  // Only this tree's devices: none of the machine's, no window even where there is a display.
  return {"UPDATER_VIRTUAL_HID_DIR=" + devices_.string(),
          "UPDATER_HIDRAW_SYSFS_ROOT=" + (root_.path() / "sysfs").string(),
          "UPDATER_HIDRAW_DEV_ROOT=" + (root_.path() / "dev").string(), "UPDATER_FRONTEND=terminal"};
}

void ProgramTree::StartSimulator(const std::vector<std::string>& options) {
  std::vector<std::string> argv{(fw::ExecutableFolder() / "devsim").string(), "--name", "board", "--dir",
                                devices_.string(), "--vid", "0x1234", "--pid", "0x5678",
                                "--memory", MemoryDump().string(), "--traffic", Traffic().string()};
  argv.insert(argv.end(), options.begin(), options.end());
  simulator_ = std::make_unique<testsupport::BackgroundProcess>(argv);
  const auto ready = simulator_->ReadLine(std::chrono::seconds(10));
  ASSERT_TRUE(ready && ready->starts_with("READY")) << simulator_->ReadAllStderr(std::chrono::seconds(1));
}

std::string ProgramTree::StopSimulator() {
  if (!simulator_) return {};
  simulator_->Signal(SIGTERM);
  const std::optional<int> status = simulator_->WaitForExit(std::chrono::seconds(10));
  std::string err = simulator_->ReadAllStderr(std::chrono::seconds(1));
  EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "the simulator's end: " << err;
  simulator_.reset();
  return err;
}

namespace {

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

}  // namespace

ProgramRun ProgramTree::RunUpdater(const std::string& input, std::chrono::milliseconds timeout) {
  return RunUpdaterActingOn(input, {}, timeout);
}

ProgramRun ProgramTree::RunUpdaterActingOn(const std::string& input, const std::vector<UserStep>& steps,
                                           std::chrono::milliseconds timeout, testsupport::Streams streams) {
  const Clock::time_point start = Clock::now();
  testsupport::BackgroundProcess updater({(bin_ / program_).string()}, Environment(), input, !steps.empty(), streams);
  std::string shown;
  for (const UserStep& step : steps) {
    const size_t from = shown.size();
    bool seen = false;
    while (!seen) {
      const std::optional<std::string> line = updater.ReadLine(timeout);
      if (!line) break;
      shown += *line + "\n";
      seen = Occurrences(shown.substr(from), step.shown) >= step.times;
    }
    if (!seen) break;  // the updater ended or fell silent first: the user had nothing to act on
    step.act(updater);
  }
  updater.CloseInput();
  const testsupport::ProcessResult result = updater.Finish(timeout);
  return {result.exitCode, shown + result.out, result.err,
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
}

}  // namespace app_test
