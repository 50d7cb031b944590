#include "update_run.h"

#include <fstream>

#include "hid.h"
#include "hid_test_state.h"
#include "os/event_loop.h"
#include "ui/event_loop.h"
#include "zuv_utilities.h"

namespace app_test {
namespace {

constexpr size_t kDataOffset = 6;
constexpr size_t kSizeOffset = 5;

std::filesystem::path TrafficFile(const std::filesystem::path& bin) { return bin.parent_path() / "traffic.txt"; }

}  // namespace

std::vector<uint8_t> Command::Data() const {
  const size_t count = std::min<size_t>(size, report.size() - std::min(report.size(), kDataOffset));
  return {report.end() - static_cast<std::ptrdiff_t>(count), report.end()};
}

std::vector<Span> Spans(const std::vector<Command>& commands) {
  std::vector<Span> spans;
  for (const Command& command : commands) spans.emplace_back(command.address, command.size);
  return spans;
}

devsim::Options UpdateTest::Device(const std::vector<Region>& regions, uint8_t bytesPerPacket, uint8_t family) const {
  devsim::Options options = DeviceOptions();
  options.regions.clear();
  for (const Region& region : regions) options.regions.push_back({region.type, region.address, region.size});
  options.bytesPerPacket = bytesPerPacket;
  options.family = family;
  options.trafficFile = TrafficFile(Bin());
  return options;
}

void UpdateTest::TearDown() {
  device_ = nullptr;
  UpdaterTest::TearDown();
}

// The virtual clock's own rule, one tick per idle pass of a wait inside a step, but only
// once the simulator has handled every report it was sent: on a busy machine its thread may
// not run for longer than a read's time-out takes in virtual time.
void UpdateTest::LetTimePass(double /*allowedWaitSeconds*/, void* context) {
  auto* test = static_cast<UpdateTest*>(context);
  if (test->clock.eventLoopWaiting) return;
  if (test->device_ && test->device_->server().handlingReport()) return;
  test->clock.Advance(fw::VirtualClock::kIdleStep);
}

int UpdateTest::Update(const devsim::Options& options, const std::string& firmwareHex) {
  WriteUpdate(firmwareHex);
  device_ = &StartDevice(options);
  OSSetEventLoopIdleHook(&UpdateTest::LetTimePass, this);
  frontEnd.onUpdate = [this] {
    auto* window = dynamic_cast<class mainWindow*>(frontEnd.FindWindow("mainWindow"));
    if (!window) return;
    if (pressStart && !pressed_) {
      pressed_ = true;
      frontEnd.Press("mainWindow", "StartButton");
    }
    if (!window->StartButton->Enabled()) Note(window->count);
    if (script) script(window->count);
  };
  frontEnd.onMessage = [this](const std::string&) {
    if (auto* window = dynamic_cast<class mainWindow*>(frontEnd.FindWindow("mainWindow"))) Note(window->count);
    return true;
  };
  return RunUpdater();
}

void UpdateTest::Note(int32_t count) {
  if (steps.contains(count)) return;
  AfterStep& step = steps[count];
  step.at = clock.now;
  step.cancelEnabled = frontEnd.EnabledOf("mainWindow", "Cancelbutton");
  step.startEnabled = frontEnd.EnabledOf("mainWindow", "StartButton");
  step.headline = frontEnd.TextOf("mainWindow", "StaticText1");
  step.info = frontEnd.TextOf("mainWindow", "info");
  step.bar = frontEnd.ValueOf("mainWindow", "bar");
}

devsim::BootloaderStats UpdateTest::DeviceStats() const {
  // The device reads what the host sent before it notices the host has gone.
  EXPECT_TRUE(device_->server().waitUntil(
      [](const devsim::DeviceActivity& activity) { return activity.sessionsStarted > 0 && !activity.hostConnected; },
      std::chrono::seconds(10)));
  return device_->server().activity().stats;
}

std::vector<std::vector<uint8_t>> UpdateTest::DeviceMemory() const {
  std::vector<std::vector<uint8_t>> memory;
  for (const devsim::RegionMemory& region : device_->server().memory()) {
    memory.push_back(region.layout.type == 3 ? std::vector<uint8_t>{} : region.bytes);
  }
  return memory;
}

std::vector<Command> UpdateTest::Received(std::optional<uint8_t> code) const {
  DeviceStats();
  std::ifstream in(TrafficFile(Bin()));
  std::vector<Command> commands;
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with("OUT ")) continue;
    const std::string bytes = DecodingFromHexZuv(line.substr(4));
    Command command;
    command.report.assign(bytes.begin(), bytes.end());
    command.report.resize(std::max<size_t>(command.report.size(), 64), 0);
    command.code = command.report[0];
    if (code && command.code != *code) continue;
    command.address = uint32_t{command.report[1]} | uint32_t{command.report[2]} << 8 |
                      uint32_t{command.report[3]} << 16 | uint32_t{command.report[4]} << 24;
    command.size = command.report[kSizeOffset];
    commands.push_back(std::move(command));
  }
  return commands;
}

std::vector<int32_t> UpdateTest::BarRedraws() const {
  std::vector<int32_t> values;
  for (const std::string& redraw : frontEnd.redraws) {
    if (redraw.starts_with("bar ")) values.push_back(std::stoi(redraw.substr(4)));
  }
  return values;
}

void StepTest::SetUp() {
  UpdaterTest::SetUp();
  previousPresenter_ = fw::SetMessagePresenter([this](const std::string& text) { messages.push_back(text); });
}

void StepTest::TearDown() {
  if (window_) window_->Close();
  window_ = nullptr;
  fw::ResetEventLoop();
  fw::SetMessagePresenter(std::move(previousPresenter_));
  UpdaterTest::TearDown();
}

void StepTest::Regions(const std::vector<Region>& regions, int32_t bytesPerAddress, uint8_t bytesPerPacket) {
  HID::MemoryRegions.clear();
  HID::memoryRegionsDetected = 0;
  HID::BytesPerPacket = bytesPerPacket;
  HID::DeviceFamily = bytesPerAddress == 2 ? 2 : 1;
  HID::bytesPerAddress = bytesPerAddress;
  ASSERT_TRUE(HID::ParseMemoryRegions(
      hid_test::QueryAnswer(regions, bytesPerPacket, static_cast<uint8_t>(HID::DeviceFamily))));
}

class mainWindow& StepTest::Window() {
  if (!window_) window_ = mainWindow();
  return *window_;
}

}  // namespace app_test
