// A whole update in the test's process, watched step by step: the scripted user presses
// Start as soon as the main window shows, what the window shows after each step is kept,
// and the simulator logs every report it received.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "alerts.h"
#include "app_harness.h"
#include "devsim/bootloader.h"
#include "firmware.h"
#include "main_window.h"

namespace app_test {

// What the main window showed once a step had run, or while the step's message box was up.
struct AfterStep {
  fw::Milliseconds at{};
  bool cancelEnabled = false;
  bool startEnabled = false;
  std::string headline;
  std::string info;
  int32_t bar = 0;
};

// One report the device received, with the fields every command carries.
struct Command {
  uint8_t code = 0;
  uint32_t address = 0;
  uint8_t size = 0;
  std::vector<uint8_t> report;

  // The last `size` bytes of the data field, where a PROGRAM_DEVICE carries its data.
  std::vector<uint8_t> Data() const;
};

// (address, size) of each command, for comparing sequences at a glance.
using Span = std::pair<uint32_t, uint32_t>;
std::vector<Span> Spans(const std::vector<Command>& commands);

class UpdateTest : public UpdaterTest {
 protected:
  void TearDown() override;

  // The simulator with this memory layout, logging its traffic to a file of the test's.
  devsim::Options Device(const std::vector<Region>& regions, uint8_t bytesPerPacket = 56, uint8_t family = 1) const;

  // The whole updater with this firmware against a simulator with these options; the exit
  // code. Start is pressed unless pressStart was cleared.
  int Update(const devsim::Options& options, const std::string& firmwareHex);

  // What the device counted, once the updater has let go of it.
  devsim::BootloaderStats DeviceStats() const;
  // The device's memory now, region by region (type 3 regions as empty, as FirmwareFor
  // gives them).
  std::vector<std::vector<uint8_t>> DeviceMemory() const;

  // The reports the device received, in order; only those with the command code if one is
  // given.
  std::vector<Command> Received(std::optional<uint8_t> code = std::nullopt) const;
  // The values the progress bar was redrawn with, in order.
  std::vector<int32_t> BarRedraws() const;

  bool pressStart = true;
  // Every pass of the event loop once the main window is there, with the step count.
  std::function<void(int32_t count)> script;
  // The window after each step, by step count; 0 is the moment Start had been handled.
  std::map<int32_t, AfterStep> steps;

 private:
  // The idle hook of the operating system's event loop while the updater runs.
  static void LetTimePass(double allowedWaitSeconds, void* context);
  void Note(int32_t count);

  devsim::BackgroundDevice* device_ = nullptr;
  bool pressed_ = false;
};

// One step of the main window called by hand, on HID globals set as the first step would
// set them; the step's messages are kept instead of shown.
class StepTest : public UpdaterTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The device's answer to QUERY_DEVICE, taken as the first step takes it: this layout, this
  // many bytes per packet, and the family that has bytesPerAddress.
  void Regions(const std::vector<Region>& regions, int32_t bytesPerAddress, uint8_t bytesPerPacket = 56);

  // The main window, made and shown on first use.
  class mainWindow& Window();

  std::vector<std::string> messages;

 private:
  fw::MessagePresenter previousPresenter_;
  fw::Ref<class mainWindow> window_;
};

}  // namespace app_test
