// The real programs, as a user runs them: the updater copied with its plug-ins into a tree
// of its own (<tmp>/bin, <tmp>/Resources), the simulator program as its device, and the
// terminal front end driven through standard input.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "background_process.h"
#include "firmware.h"
#include "temp_dir.h"

namespace app_test {

struct ProgramRun {
  int exitCode = -1;  // -1: killed after the time-out, or ended by a signal
  std::string out;
  std::string err;
  std::chrono::milliseconds took{};
};

// The simulator program's options for this memory layout: "--region type:address:size" each.
std::vector<std::string> RegionOptions(const std::vector<Region>& regions);

class ProgramTree {
 public:
  // program: "Updater" or "Updater-debug".
  explicit ProgramTree(const std::string& program = "Updater");

  const std::filesystem::path& Bin() const { return bin_; }
  const std::filesystem::path& Resources() const { return resources_; }
  std::filesystem::path MemoryDump() const { return root_.path() / "memory.txt"; }
  std::filesystem::path Traffic() const { return root_.path() / "traffic.txt"; }

  void WriteUpdate(const std::string& firmwareHex, int vendor = 0x1234, int product = 0x5678);

  // The simulator program with these options after its name, ids, folder, memory dump and
  // traffic log; returns once it is ready.
  void StartSimulator(const std::vector<std::string>& options = {});
  // The simulator's end: asked to stop (unless it has vanished already), its memory saved.
  // Expects it to exit with 0; returns what it wrote to its standard error.
  std::string StopSimulator();

  // What the user does once the updater's output holds `shown` (checked line by line), `times`
  // times over since the step before: type more, send a signal, plug in the device, go away.
  struct UserStep {
    std::string shown;
    std::function<void(testsupport::BackgroundProcess&)> act;
    size_t times = 1;
  };

  // The updater with input on its standard input, killed after timeout.
  ProgramRun RunUpdater(const std::string& input, std::chrono::milliseconds timeout = std::chrono::seconds(90));
  // The same with the input kept open while the steps are taken, one after the other; then
  // the input ends. On a terminal, the output holds the errors too.
  ProgramRun RunUpdaterActingOn(const std::string& input, const std::vector<UserStep>& steps,
                                std::chrono::milliseconds timeout,
                                testsupport::Streams streams = testsupport::Streams::kPipes);
  std::vector<std::string> Environment() const;

 private:
  testsupport::TempDir root_{"updater-tree"};
  std::string program_;
  std::filesystem::path bin_;
  std::filesystem::path resources_;
  std::filesystem::path devices_;
  std::unique_ptr<testsupport::BackgroundProcess> simulator_;
};

}  // namespace app_test
