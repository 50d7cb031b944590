// The cost of one output report and of one query round trip, through the program's entry
// table, the Orvane plug-in and the OS layer to the in-process simulator.
//   orvane_bench [benchmark options]
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "event_loop_until.h"
#include "isolated_devices.h"
#include "memory_block.h"
#include "plugin_decls/entry_points.h"
#include "plugin_decls/orvane_zuv.h"
#include "plugin_host.h"
#include "simulator.h"

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
  testsupport::IsolatedDevices folders;
  std::unique_ptr<devsim::BackgroundDevice> simulator;
  fw::Ref<CountingDevice> device;
  std::string problem;

  Bench() {
    if (!fw::PluginHost::Instance()
             .LoadPlugins(fw::ExecutableFolder(), {"Orvane", "Tessik"})
             .empty() ||
        !fw::InitPluginEntrypoints().empty()) {
      problem = "the plug-ins did not load";
      return;
    }
    try {
      simulator = testsupport::StartSimulator(testsupport::SimulatorOptions(folders.virtualDir(), "bench"));
    } catch (const std::exception& notStarted) {
      problem = notStarted.what();
      return;
    }
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
    if (!testsupport::RunEventLoopUntil([&] { return device.received != before; }, kAnswerTimeout)) {
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
