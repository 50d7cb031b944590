#include "orvane_test_support.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>

#include "host_string.h"
#include "os/event_loop.h"
#include "plugin_decls/entry_points.h"
#include "plugin_host.h"

namespace orvanetest {
namespace {

OSStatus ProbeHandler(EventHandlerCallRef, EventRef event, void*) {
  Probe().events.push_back(RetainEvent(event));
  return Probe().answer;
}

RecordingDevice* Recorder(REALobject self) {
  return dynamic_cast<RecordingDevice*>(fw::PluginInstance::FromHandle(self));
}

void OnReceivedData(REALobject self, REALstring data, int32_t size) {
  RecordingDevice* device = Recorder(self);
  if (!device) {
    ADD_FAILURE() << "ReceivedData raised on an object that is not alive";
    return;
  }
  device->received.push_back({std::string(fw::HostStringBytes(data)), size});
  if (device->onReceived) device->onReceived();
}

void OnDeviceRemoved(REALobject self, int32_t result) {
  RecordingDevice* device = Recorder(self);
  if (!device) {
    ADD_FAILURE() << "DeviceRemoved raised on an object that is not alive";
    return;
  }
  device->removals.push_back(result);
}

const fw::EventBinding kBothBindings[] = {
    {"ReceivedData", reinterpret_cast<void*>(&OnReceivedData)},
    {"DeviceRemoved", reinterpret_cast<void*>(&OnDeviceRemoved)},
};
const fw::ProgramClass kWithBoth{"RecordingDevice", kBothBindings};
const fw::ProgramClass kWithReceivedDataOnly{"ReportOnlyDevice", std::span(kBothBindings).first(1)};
const fw::ProgramClass kWithNone{"SilentDevice", {}};

const fw::ProgramClass* ProgramClassFor(RecordingDevice::Handlers handlers) {
  switch (handlers) {
    case RecordingDevice::Handlers::Both:
      return &kWithBoth;
    case RecordingDevice::Handlers::ReceivedDataOnly:
      return &kWithReceivedDataOnly;
    case RecordingDevice::Handlers::None:
      return &kWithNone;
  }
  return nullptr;
}

sockaddr_un SocketAddress(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string text = path.string();
  EXPECT_LT(text.size(), sizeof(address.sun_path)) << text;
  std::copy_n(text.begin(), std::min(text.size(), sizeof(address.sun_path) - 1),
              std::begin(address.sun_path));
  return address;
}

bool WaitReadable(int descriptor, std::chrono::milliseconds timeout) {
  pollfd entry{descriptor, POLLIN, 0};
  return ::poll(&entry, 1, static_cast<int>(timeout.count())) > 0;
}

}  // namespace

void PassedOnProbe::Reset() {
  for (EventRef event : events) ReleaseEvent(event);
  events.clear();
  answer = eventNotHandledErr;
}

PassedOnProbe& Probe() {
  static PassedOnProbe probe;
  return probe;
}

void LoadPlugins() {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  const EventTypeSpec types[] = {{OSFourCharCode("ZuvH"), OSFourCharCode("HIDe")},
                                 {OSFourCharCode("ZuvH"), OSFourCharCode("HIDr")}};
  ASSERT_EQ(InstallEventHandler(GetApplicationEventTarget(), ProbeHandler, std::size(types), types,
                                nullptr, nullptr),
            noErr);
  const auto failures =
      fw::PluginHost::Instance().LoadPlugins(fw::ExecutableFolder(), {"Orvane", "Tessik"});
  ASSERT_TRUE(failures.empty()) << failures.front().file << ": " << failures.front().reason;
  const auto unresolved = fw::InitPluginEntrypoints();
  ASSERT_TRUE(unresolved.empty()) << unresolved.front();
}

DeviceFolders::DeviceFolders() {
  std::string pattern = "/tmp/orvane-XXXXXX";
  if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "cannot make a temporary folder";
  root_ = pattern;
  devices_ = root_ / "dev";
  std::filesystem::create_directory(devices_);
  std::filesystem::create_directory(root_ / "hidraw");
  ::setenv("UPDATER_VIRTUAL_HID_DIR", devices_.c_str(), 1);
  ::setenv("UPDATER_HIDRAW_SYSFS_ROOT", (root_ / "hidraw").c_str(), 1);
}

DeviceFolders::~DeviceFolders() {
  ::unsetenv("UPDATER_VIRTUAL_HID_DIR");
  ::unsetenv("UPDATER_HIDRAW_SYSFS_ROOT");
  std::error_code error;
  std::filesystem::remove_all(root_, error);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
    OSRunEventLoopOnce(std::min(std::chrono::duration<double>(left).count(), 0.05));
  }
  return true;
}

RecordingDevice::RecordingDevice(Handlers handlers) : OrvaneZuv(ProgramClassFor(handlers)) {}

orvane::OrvaneData& RecordingDevice::Data() const {
  const std::span<uint8_t> bytes = ClassData();
  EXPECT_GE(bytes.size(), sizeof(orvane::OrvaneData));
  return *reinterpret_cast<orvane::OrvaneData*>(bytes.data());
}

devsim::Options SimulatorOptions(const std::filesystem::path& folder, const std::string& name,
                                 uint16_t vendorId, uint16_t productId) {
  devsim::Options options;
  options.name = name;
  options.dir = folder;
  options.vendorId = vendorId;
  options.productId = productId;
  return options;
}

std::unique_ptr<devsim::BackgroundDevice> StartSimulator(const devsim::Options& options) {
  auto started = devsim::BackgroundDevice::start(options);
  if (!started) {
    ADD_FAILURE() << "simulator " << options.name << ": " << started.error().message;
    return nullptr;
  }
  return std::move(started.value());
}

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string Text(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

FakeDevice::FakeDevice(const std::filesystem::path& folder, const std::string& name,
                       const std::vector<std::string>& props)
    : socketPath_(folder / (name + ".sock")), propsPath_(folder / (name + ".props")) {
  listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  const sockaddr_un address = SocketAddress(socketPath_);
  if (listener_ < 0 ||
      ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 4) != 0) {
    ADD_FAILURE() << "cannot listen at " << socketPath_;
  }
  // Published only once it listens, as the simulator does.
  std::ofstream file(propsPath_);
  for (const std::string& line : props) file << line << '\n';
  file << "Pid=" << ::getpid() << '\n';
}

FakeDevice::~FakeDevice() {
  if (connection_ >= 0) ::close(connection_);
  if (listener_ >= 0) ::close(listener_);
  std::error_code error;
  std::filesystem::remove(socketPath_, error);
  std::filesystem::remove(propsPath_, error);
}

std::vector<std::string> FakeDevice::DefaultProps(int vendorId, int productId) {
  return {"VendorID=" + std::to_string(vendorId),
          "ProductID=" + std::to_string(productId),
          "VersionNumber=2",
          "Manufacturer=Fake Maker",
          "Product=Fake Device",
          "SerialNumber=F1"};
}

bool FakeDevice::AcceptHost(std::chrono::milliseconds timeout) {
  if (listener_ < 0 || !WaitReadable(listener_, timeout)) return false;
  connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  return connection_ >= 0;
}

void FakeDevice::SendReport(std::span<const uint8_t> report) {
  std::vector<uint8_t> packet{0};
  packet.insert(packet.end(), report.begin(), report.end());
  ASSERT_EQ(::send(connection_, packet.data(), packet.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(packet.size()));
}

std::optional<std::vector<uint8_t>> FakeDevice::NextPacket(std::chrono::milliseconds timeout) {
  if (connection_ < 0 || !WaitReadable(connection_, timeout)) return std::nullopt;
  std::array<uint8_t, 2048> buffer{};
  const ssize_t length = ::recv(connection_, buffer.data(), buffer.size(), 0);
  if (length <= 0) return std::nullopt;
  return std::vector<uint8_t>(buffer.begin(), buffer.begin() + length);
}

bool FakeDevice::HostClosed(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (connection_ >= 0) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !WaitReadable(connection_, left)) return false;
    std::array<uint8_t, 2048> buffer{};
    if (::recv(connection_, buffer.data(), buffer.size(), 0) <= 0) return true;
  }
  return false;
}

void FakeDevice::StopListening() {
  ::close(listener_);
  listener_ = -1;
}

void OrvaneTest::SetUp() {
  LoadPlugins();
  Probe().Reset();
  liveStringsBefore_ = fw::LiveHostStrings();
}

void OrvaneTest::TearDown() {
  Probe().Reset();
  EXPECT_EQ(fw::LiveHostStrings(), liveStringsBefore_) << "host strings leaked";
}

}  // namespace orvanetest
