// The verification step (mainWindow::Work5) fed GET_DATA answers of every kind: the right
// answer to a request, the same with a byte changed, an answer for somewhere else, a report of
// any bytes and any length from 0 to 80, none at all, in any order, for region lists of
// families 1 and 2. The answers arrive as time passes: the step reads the ticks after each
// request and while it waits, and each reading moves time on and may deliver answers, so an
// input plays a device exactly and the bounded wait for a missing answer ends at once.
#include <sys/eventfd.h>

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "command_packets.h"
#include "device_geometry.h"
#include "device_waits.h"
#include "fuzz_input.h"
#include "fuzz_support.h"
#include "hid.h"
#include "main_window.h"
#include "my_orvane.h"
#include "plugin_decls/entry_points.h"
#include "plugin_host.h"
#include "region_lists.h"
#include "alerts.h"
#include "os/debug_log.h"
#include "os/run_loop.h"
#include "ticks.h"
#include "ui/window.h"

namespace {

using fuzz::Check;
using fuzz::FuzzInput;

struct Request {
  const MemoryRegion* region;
  int64_t address;
  int64_t size;
};

// The device this input plays.
struct Device {
  FuzzInput* in = nullptr;
  int64_t now = 0;
  std::vector<Request> requests;  // what the step asks for, in order
  size_t sent = 0;                // requests the step has sent so far
  size_t answered = 0;            // requests answered right, from the first on
  bool allRequestsKnown = true;   // false when Requests stopped early
  bool onlyRightAnswers = true;
  bool reportedDifference = false;  // any box about a difference, warnings included
  bool reportedFailure = false;     // the box of a difference that fails the step
  bool timedOut = false;
};

Device& TheDevice() {
  static Device device;
  return device;
}

// The first requests the step makes: every region but those of type 3, in whole packets, the
// last one cut to what is left of the region. The step sends the next request only after an
// answer, so an input of n bytes gets no further than n of them.
std::vector<Request> Requests(size_t most) {
  std::vector<Request> requests;
  const int64_t bytesPerAddress = HID::ImageBytesPerAddress();
  const int64_t step = HID::BytesPerPacket / bytesPerAddress;
  for (const fw::Ref<MemoryRegion>& region : HID::MemoryRegions) {
    if (region->Type == 3) continue;
    const int64_t end = int64_t{region->Address} + region->Size;
    for (int64_t address = region->Address; address < end; address += step) {
      if (requests.size() == most) {
        TheDevice().allRequestsKnown = false;
        return requests;
      }
      requests.push_back({region.get(), address, std::min<int64_t>(HID::BytesPerPacket, (end - address) * bytesPerAddress)});
    }
  }
  return requests;
}

fw::Ref<fw::MemoryBlock> Report(int64_t address, int64_t count, size_t length) {
  const fw::Ref<fw::MemoryBlock> report = fw::NewMemoryBlock(length);
  if (length >= 1) report->SetUInt8Value(0, 7);  // GET_DATA
  if (length >= 5) report->SetInt32Value(HID::AddressOffset, static_cast<int32_t>(address));
  if (length >= 6) report->SetUInt8Value(HID::SizeOffset, static_cast<uint8_t>(count));
  return report;
}

// The answer to request, its data right-aligned at the end of the report as the device puts
// it; a byte changed when the input asks for it.
fw::Ref<fw::MemoryBlock> RightAnswer(const Request& request, FuzzInput& in, bool& changed) {
  const fw::Ref<fw::MemoryBlock> report = Report(request.address, request.size, HID::PacketSize);
  const int64_t first = (request.address - request.region->Address) * HID::ImageBytesPerAddress();
  for (int64_t j = 0; j < request.size; ++j) {
    report->SetUInt8Value(static_cast<size_t>(64 - request.size + j),
                          request.region->data->UInt8Value(static_cast<size_t>(first + j)));
  }
  changed = in.Index(4) == 0;
  if (changed && request.size > 0) {
    const size_t at = static_cast<size_t>(64 - request.size) + in.Index(static_cast<size_t>(request.size));
    report->SetUInt8Value(at, static_cast<uint8_t>(report->UInt8Value(at) ^ (in.Byte() | 1)));
  }
  return report;
}

// Anything else a device could send: an answer for any address with any count, data and
// length, or bytes as they come.
fw::Ref<fw::MemoryBlock> OtherReport(FuzzInput& in) {
  if (in.Bool()) return fw::MakeRef<fw::MemoryBlock>(in.String(80));
  int64_t address = in.Integral<int32_t>();
  if (!HID::MemoryRegions.empty() && in.Index(4) != 0) {
    const MemoryRegion& region = *HID::MemoryRegions[in.Index(HID::MemoryRegions.size())];
    address = int64_t{region.Address} + in.InRange<int64_t>(-64, int64_t{region.Size} + 64);
  }
  const int64_t count = in.Index(4) == 0 ? in.Byte() : in.InRange<int64_t>(0, HID::MaxDataBytes);
  const fw::Ref<fw::MemoryBlock> report = Report(address, count, in.Index(4) == 0 ? in.InRange<size_t>(0, 80) : 64);
  const std::string bytes = in.Bytes(HID::PacketSize - HID::DataOffset);
  report->SetStringValue(HID::DataOffset, bytes.size(), bytes);
  return report;
}

// Each reading of the ticks: time moves on, mostly by one tick, sometimes by up to the whole
// wait; and zero to two reports arrive. Once the input is spent, time runs out at once.
int64_t Tick() {
  Device& device = TheDevice();
  if (device.in == nullptr || device.in->Empty()) return device.now += kDataAnswerTicks;
  FuzzInput& in = *device.in;
  device.now += in.Index(8) == 0 ? in.InRange<int64_t>(0, kDataAnswerTicks) : 1;
  const size_t arriving = in.InRange<size_t>(0, 2);
  for (size_t i = 0; i < arriving; ++i) {
    fw::Ref<fw::MemoryBlock> report;
    // The right answer goes to the request just sent, as a device gives it.
    const bool answerable = device.sent > device.answered && device.sent <= device.requests.size();
    if (in.Index(4) != 0 && answerable) {
      bool changed = false;
      report = RightAnswer(device.requests[device.sent - 1], in, changed);
      device.answered = device.sent;
      device.onlyRightAnswers = device.onlyRightAnswers && !changed;
    } else {
      report = OtherReport(in);
      device.onlyRightAnswers = false;
    }
    HID::DeviceMac->datas.push_back(report);
  }
  return device.now;
}

void SetUp() {
  fuzz::QuietProcess();
  const auto failures = fw::PluginHost::Instance().LoadPlugins(fw::ExecutableFolder(), {"Orvane"});
  if (!failures.empty()) fuzz::Fail(("the Orvane plug-in did not load: " + failures.front().reason).c_str());
  fw::InitPluginEntrypoints();
  // Not connected: requests go nowhere, and the answers come from the input.
  HID::DeviceMac = fw::MakeRef<MyOrvane>();
  fw::SetTickSource(Tick);
  // Each read lets the event loop run once, and an idle event loop sleeps a millisecond in
  // poll(2). A descriptor that is always ready keeps it from sleeping, so reads cost no time.
  static const int alwaysReady = ::eventfd(1, EFD_CLOEXEC);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), OSRunLoopSourceCreateForDescriptor(alwaysReady, [](int, short, void*) {}, nullptr),
                     kCFRunLoopDefaultMode);
  // The device is not connected, so every request the step sends is logged as a failed
  // send: that is how the input's device learns that a request went out.
  OSSetDebugLogSink(
      [](const char* line, void*) {
        const std::string_view text(line);
        if (text.starts_with("MemoryBlock:")) fuzz::Fail(line);
        if (text.starts_with("Lasterror after SendMessage")) ++TheDevice().sent;
      },
      nullptr);
  fw::SetMessagePresenter([](const std::string& text) {
    if (text.starts_with("Verification failed on address") || text == "Error1" || text == "Error2") {
      TheDevice().reportedDifference = true;
    }
    if (text.starts_with("Verification failed on address")) TheDevice().reportedFailure = true;
    if (text == "Failed to get answer from device.") TheDevice().timedOut = true;
  });
}

// Images that are not all erased flash: a pattern from two bytes of the input per region.
void FillImages(FuzzInput& in) {
  for (const fw::Ref<MemoryRegion>& region : HID::MemoryRegions) {
    uint8_t value = in.Byte();
    const uint8_t stride = in.Byte();
    const std::span<uint8_t> bytes = region->data->Bytes();
    for (uint8_t& byte : bytes.first(std::min<size_t>(bytes.size(), 4096))) byte = value += stride;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (SetUp(), true);
  (void)ready;
  // The window is found again for each input, not held: at exit it must go (with its timer)
  // before the framework's list of timers does.
  const fw::Ref<class mainWindow> window = mainWindow();
  static const bool closedAtExit = (std::atexit([] { fw::CloseAllWindows(); }), true);
  (void)closedAtExit;
  const fuzz::StrayAccessGuard guard;
  FuzzInput in(std::span<const uint8_t>(data, size));

  // A device the query step accepts: family 1 or 2, whole addresses per packet.
  const int32_t family = in.InRange<int32_t>(1, 2);
  const int32_t bytesPerAddress = HID::BytesPerAddressOfFamily(family);
  const int32_t perPacket = bytesPerAddress * in.InRange<int32_t>(1, HID::MaxDataBytes / bytesPerAddress);
  fuzz::ResetDevice(family, perPacket);
  Check(HID::PacketSizeFits(perPacket, bytesPerAddress), "a packet size the query step refuses");
  if (!fuzz::ParseRegions(in, 0x10000)) fuzz::ResetDevice(family, perPacket);
  if (in.Bool()) FillImages(in);

  Device& device = TheDevice();
  device = Device{};
  device.in = &in;
  device.requests = Requests(size + 1);
  HID::DeviceMac->datas.clear();
  // Off, so that it tells afterwards whether the step armed it for the next step.
  window->Timer1->SetMode(fw::Timer::kOff);

  window->Work5();
  const bool passed = window->Timer1->Mode() != fw::Timer::kOff;

  device.in = nullptr;
  HID::DeviceMac->datas.clear();
  // The right answer to each request, and nothing else, never differs from the image.
  Check(!device.onlyRightAnswers || !device.reportedDifference, "a right answer was reported as a difference");
  // A device that answered every request right and in time passes; a step that passed has
  // asked for every part of every region but those of type 3, and been told no difference.
  if (device.allRequestsKnown) {
    const bool everyAnswerRight = device.onlyRightAnswers && device.answered == device.requests.size();
    Check(!everyAnswerRight || device.timedOut || passed, "the right answers to every request did not pass");
    Check(!passed || device.sent == device.requests.size(), "the step passed without asking for every part");
  }
  Check(!passed || (!device.timedOut && !device.reportedFailure), "the step passed after a difference or a time-out");
  return 0;
}
