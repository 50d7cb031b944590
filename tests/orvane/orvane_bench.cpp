// The cost of one output report and of one query round trip, through the program's entry
// table, the Orvane plug-in and the OS layer to the in-process simulator.
//   orvane_bench [benchmark options]
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "devsim/device_server.h"
#include "memory_block.h"
#include "os/event_loop.h"
#include "plugin_decls/entry_points.h"
#include "plugin_decls/orvane_zuv.h"
#include "plugin_host.h"

namespace {

constexpr uint8_t kQueryDevice = 2;
constexpr uint8_t kProgramComplete = 6;  // taken without an answer
constexpr size_t kReportSize = 64;
constexpr std::chrono::seconds kAnswerTimeout{2};

class CountingDevice : public fw::OrvaneZuv {
 public:
  CountingDevice();
  int received = 0;

 protected:
  ~CountingDevice() override = default;
};

void OnReceivedData(REALobject self, REALstring, int32_t) {
  if (auto* device = dynamic_cast<CountingDevice*>(fw::PluginInstance::FromHandle(self))) {
    ++device->received;
  }
}

const fw::EventBinding kBindings[] = {{"ReceivedData", reinterpret_cast<void*>(&OnReceivedData)}};
const fw::ProgramClass kCountingClass{"CountingDevice", kBindings};

CountingDevice::CountingDevice() : OrvaneZuv(&kCountingClass) {}

// A simulator in a folder of its own, found and connected the way the updater does it.
struct Bench {
  std::filesystem::path root;
  std::unique_ptr<devsim::BackgroundDevice> simulator;
  fw::Ref<CountingDevice> device;
  std::string problem;

  Bench() {
    std::string pattern = "/tmp/orvane-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
      problem = "cannot make a temporary folder";
      return;
    }
    root = pattern;
    std::filesystem::create_directory(root / "dev");
    std::filesystem::create_directory(root / "hidraw");
    ::setenv("UPDATER_VIRTUAL_HID_DIR", (root / "dev").c_str(), 1);
    ::setenv("UPDATER_HIDRAW_SYSFS_ROOT", (root / "hidraw").c_str(), 1);

    if (!fw::PluginHost::Instance()
             .LoadPlugins(fw::ExecutableFolder(), {"Orvane", "Tessik"})
             .empty() ||
        !fw::InitPluginEntrypoints().empty()) {
      problem = "the plug-ins did not load";
      return;
    }
    devsim::Options options;
    options.name = "bench";
    options.dir = root / "dev";
    options.vendorId = 0x04D8;
    options.productId = 0x003C;
    auto started = devsim::BackgroundDevice::start(options);
    if (!started) {
      problem = started.error().message;
      return;
    }
    simulator = std::move(started.value());
    device = fw::MakeRef<CountingDevice>();
    device->SetTimeOut(2222);
    if (!device->FindFirstDevice()) {
      problem = "no device found";
      return;
    }
    device->Connect();
    device->InstallCallback();
    if (device->Lasterror() != 0)
      problem = "cannot connect: " + std::to_string(device->Lasterror());
  }

  ~Bench() {
    device.reset();
    simulator.reset();
    std::error_code error;
    if (!root.empty()) std::filesystem::remove_all(root, error);
  }
};

Bench* g_bench = nullptr;

fw::Ref<fw::MemoryBlock> Command(uint8_t code) {
  auto packet = fw::NewMemoryBlock(kReportSize);
  packet->SetUInt8Value(0, code);
  return packet;
}

void BM_SendReport(benchmark::State& state) {
  CountingDevice& device = *g_bench->device;
  const auto packet = Command(kProgramComplete);
  for (auto _ : state) {
    device.SendMessageMemory(packet, 0, kReportSize);
    if (device.Lasterror() != 0) {
      state.SkipWithError("a send failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendReport)->Unit(benchmark::kMicrosecond);

void BM_QueryRoundTrip(benchmark::State& state) {
  CountingDevice& device = *g_bench->device;
  const auto query = Command(kQueryDevice);
  for (auto _ : state) {
    const int before = device.received;
    device.SendMessageMemory(query, 0, kReportSize);
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    while (device.received == before && std::chrono::steady_clock::now() < deadline) {
      OSRunEventLoopOnce(0.1);
    }
    if (device.received == before) {
      state.SkipWithError("no answer in time");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QueryRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Bench bench;
  if (!bench.problem.empty()) {
    std::fprintf(stderr, "orvane_bench: %s\n", bench.problem.c_str());
    return 1;
  }
  g_bench = &bench;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
