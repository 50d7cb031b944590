// The Intel HEX loader against GNU objcopy reading the same firmware into a binary image:
// prints both times and their ratio. Not a test: scripts/bench runs it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "alerts.h"
#include "hid.h"
#include "logopack/firmware_image.h"
#include "logopack/intel_hex_writer.h"
#include "main_window.h"
#include "run_process.h"
#include "temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kImageBytes = 512 * 1024;
constexpr int kRounds = 9;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <class Work>
double MedianMilliseconds(Work work) {
  std::vector<double> times;
  for (int round = 0; round < kRounds; ++round) {
    const Clock::time_point start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return Median(times);
}

}  // namespace

int main() {
  logopack::Segment segment{0x8000, std::vector<uint8_t>(kImageBytes)};
  uint32_t seed = 7;
  for (uint8_t& byte : segment.bytes) byte = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  const std::string hex = logopack::writeLoaderHex(logopack::FirmwareImage{{segment}});

  testsupport::TempDir folder("hexbench");
  const auto hexFile = folder.path() / "firmware.hex";
  std::ofstream(hexFile, std::ios::binary) << hex;
  const double objcopy = MedianMilliseconds([&] {
    const auto result = testsupport::RunProcess(
        {"/usr/bin/objcopy", "-I", "ihex", "-O", "binary", hexFile.string(), (folder.path() / "firmware.bin").string()});
    if (result.exitCode != 0) std::fprintf(stderr, "objcopy failed: %s\n", result.err.c_str());
  });

  // The loader as the update's second step runs it: one region that holds the image.
  fw::SetMessagePresenter([](const std::string& text) { std::fprintf(stderr, "message: %s\n", text.c_str()); });
  HID::datafile = hex;
  HID::bytesPerAddress = 1;
  auto region = fw::MakeRef<MemoryRegion>();
  region->Address = 0x8000;
  region->Size = static_cast<int32_t>(kImageBytes);
  region->data = fw::NewMemoryBlock(kImageBytes + 10);
  HID::MemoryRegions = {region};
  HID::memoryRegionsDetected = 1;
  const fw::Ref<class mainWindow> window = fw::MakeRef<class mainWindow>();
  bool loaded = true;
  const double loader = MedianMilliseconds([&] { loaded = window->ReadFile() && loaded; });
  const bool same = std::equal(segment.bytes.begin(), segment.bytes.end(), region->data->Bytes().begin());

  std::printf("Intel HEX of %zu KiB (%zu bytes of text), median of %d runs\n", kImageBytes / 1024, hex.size(), kRounds);
  std::printf("  objcopy -I ihex -O binary: %8.2f ms\n", objcopy);
  std::printf("  the updater's loader:      %8.2f ms%s\n", loader, loaded && same ? "" : "  (LOAD FAILED)");
  std::printf("  loader / objcopy:          %8.2f\n", loader / objcopy);
  HID::MemoryRegions.clear();
  return loaded && same ? 0 : 1;
}
