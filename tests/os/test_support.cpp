#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "os/debug_log.h"
#include "os/event_loop.h"

namespace ostest {
namespace fs = std::filesystem;

namespace {

void require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what + ": " + std::strerror(errno));
}

bool waitReadable(int descriptor, std::chrono::milliseconds limit) {
  pollfd entry{descriptor, POLLIN, 0};
  return ::poll(&entry, 1, static_cast<int>(limit.count())) > 0;
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "os-test-XXXXXX").string();
  require(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) previous_ = old;
  ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (previous_) {
    ::setenv(name_.c_str(), previous_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

IsolatedDevices::IsolatedDevices()
    : sysfsEnv_("UPDATER_HIDRAW_SYSFS_ROOT", sysfs_.path().string()),
      devEnv_("UPDATER_HIDRAW_DEV_ROOT", dev_.path().string()),
      virtualEnv_("UPDATER_VIRTUAL_HID_DIR", virtual_.path().string()) {}

LogCapture::LogCapture() {
  OSSetDebugLogSink([](const char* line, void* context) { static_cast<LogCapture*>(context)->lines_.emplace_back(line); },
                    this);
}

LogCapture::~LogCapture() { OSSetDebugLogSink(nullptr, nullptr); }

void writeFile(const fs::path& path, const std::string& contents) {
  fs::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << contents;
  require(static_cast<bool>(file), "write " + path.string());
}

bool runEventLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    OSRunEventLoopOnce(0.01);
  }
  return true;
}

MatchedDevices::MatchedDevices() {
  io_iterator_t iterator = 0;
  if (IOServiceGetMatchingServices(kIOMasterPortDefault, IOServiceMatching("IOHIDDevice"), &iterator) !=
      kIOReturnSuccess) {
    return;
  }
  while (io_object_t entry = IOIteratorNext(iterator)) entries_.push_back(entry);
  IOObjectRelease(iterator);
}

MatchedDevices::~MatchedDevices() {
  for (io_object_t entry : entries_) IOObjectRelease(entry);
}

namespace {

// The entry's properties, released by the caller.
CFMutableDictionaryRef propertiesOf(io_object_t entry) {
  CFMutableDictionaryRef properties = nullptr;
  if (IORegistryEntryCreateCFProperties(entry, &properties, kCFAllocatorDefault, 0) != kIOReturnSuccess) return nullptr;
  return properties;
}

}  // namespace

std::optional<std::string> textProperty(io_object_t entry, const char* key) {
  CFMutableDictionaryRef properties = propertiesOf(entry);
  CFStringRef keyString = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
  const auto* value = static_cast<CFStringRef>(CFDictionaryGetValue(properties, keyString));
  std::optional<std::string> text;
  if (value != nullptr) {
    std::vector<char> buffer(static_cast<std::size_t>(CFStringGetLength(value)) * 6 + 1);
    if (CFStringGetCString(value, buffer.data(), static_cast<CFIndex>(buffer.size()), kCFStringEncodingUTF8)) {
      text = buffer.data();
    }
  }
  CFRelease(keyString);
  CFRelease(properties);
  return text;
}

std::optional<std::int32_t> numberProperty(io_object_t entry, const char* key) {
  CFMutableDictionaryRef properties = propertiesOf(entry);
  const auto* value = static_cast<CFNumberRef>(CFDictionaryGetValue(properties, OSCFStringMakeConstant(key)));
  std::optional<std::int32_t> number;
  std::int32_t read = 0;
  if (value != nullptr && CFNumberGetValue(value, kCFNumberIntType, &read)) number = read;
  CFRelease(properties);
  return number;
}

ConnectedDevice::ConnectedDevice(io_object_t entry, std::uint32_t reportBufferSize) : buffer_(reportBufferSize) {
  IOCFPlugInInterface** plugIn = nullptr;
  SInt32 score = 0;
  if (IOCreatePlugInInterfaceForService(entry, kIOHIDDeviceUserClientTypeID, kIOCFPlugInInterfaceID, &plugIn,
                                        &score) != kIOReturnSuccess) {
    return;
  }
  (*plugIn)->QueryInterface(plugIn, CFUUIDGetUUIDBytes(kIOHIDDeviceInterfaceID), reinterpret_cast<LPVOID*>(&device_));
  (*plugIn)->Release(plugIn);
  if (device_ == nullptr) return;

  openResult_ = (*device_)->open(device_, 0);
  if (openResult_ != kIOReturnSuccess) return;
  (*device_)->createAsyncEventSource(device_, &source_);
  (*device_)->startAllQueues(device_);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), source_, kCFRunLoopDefaultMode);
  (*device_)->setRemovalCallback(device_, &ConnectedDevice::onRemoval, this, nullptr);
  (*device_)->setInterruptReportHandlerCallback(device_, buffer_.data(), static_cast<UInt32>(buffer_.size()),
                                                &ConnectedDevice::onReport, this, nullptr);
}

ConnectedDevice::~ConnectedDevice() {
  if (source_ != nullptr) {
    CFRunLoopRemoveSource(CFRunLoopGetCurrent(), source_, kCFRunLoopDefaultMode);
    CFRelease(source_);
  }
  if (device_ != nullptr) {
    (*device_)->close(device_);
    (*device_)->Release(device_);
  }
}

IOReturn ConnectedDevice::send(const Bytes& report, std::uint32_t reportId, std::uint32_t timeoutMs) {
  Bytes copy = report;
  return (*device_)->setReport(device_, kIOHIDReportTypeOutput, reportId, copy.data(),
                               static_cast<UInt32>(copy.size()), timeoutMs, nullptr, nullptr, nullptr);
}

void ConnectedDevice::onReport(void* target, IOReturn, void*, void*, UInt32 size) {
  auto* self = static_cast<ConnectedDevice*>(target);
  self->reports_.emplace_back(self->buffer_.begin(), self->buffer_.begin() + size);
}

void ConnectedDevice::onRemoval(void* target, IOReturn, void*, void*) { ++static_cast<ConnectedDevice*>(target)->removals_; }

FakeVirtualDevice::FakeVirtualDevice(const fs::path& directory, const std::string& name,
                                     std::map<std::string, std::string> properties, bool withSocket) {
  if (withSocket) {
    const std::string socketPath = (directory / (name + ".sock")).string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    require(socketPath.size() < sizeof(address.sun_path), "socket path too long");
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    require(listener_ >= 0, "socket");
    require(::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0, "bind");
    require(::listen(listener_, 4) == 0, "listen");
  }
  properties.try_emplace("Pid", std::to_string(::getpid()));
  std::string contents;
  for (const auto& [key, value] : properties) contents += key + "=" + value + "\n";
  // Written aside and renamed, as the simulator does, so no reader sees half a file.
  const fs::path propsPath = directory / (name + ".props");
  writeFile(fs::path(propsPath).concat(".tmp"), contents);
  fs::rename(fs::path(propsPath).concat(".tmp"), propsPath);
}

FakeVirtualDevice::~FakeVirtualDevice() {
  closeConnection();
  if (listener_ >= 0) ::close(listener_);
}

bool FakeVirtualDevice::accept(std::chrono::milliseconds limit) {
  if (!waitReadable(listener_, limit)) return false;
  connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  return connection_ >= 0;
}

void FakeVirtualDevice::sendDatagram(const Bytes& datagram) {
  require(::send(connection_, datagram.data(), datagram.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(datagram.size()),
          "send");
}

std::optional<Bytes> FakeVirtualDevice::receiveDatagram(std::chrono::milliseconds limit) {
  if (!waitReadable(connection_, limit)) return std::nullopt;
  Bytes datagram(4096);
  const ssize_t length = ::recv(connection_, datagram.data(), datagram.size(), 0);
  if (length < 0) return std::nullopt;
  datagram.resize(static_cast<std::size_t>(length));
  return datagram;
}

void FakeVirtualDevice::closeConnection() {
  if (connection_ >= 0) ::close(connection_);
  connection_ = -1;
}

PtyNode::PtyNode() {
  controller_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  require(controller_ >= 0, "posix_openpt");
  require(::grantpt(controller_) == 0 && ::unlockpt(controller_) == 0, "unlockpt");
  // Raw: report bytes pass both ways untouched (no echo, no line editing, no CR/LF games).
  termios settings{};
  require(::tcgetattr(controller_, &settings) == 0, "tcgetattr");
  ::cfmakeraw(&settings);
  require(::tcsetattr(controller_, TCSANOW, &settings) == 0, "tcsetattr");
  std::array<char, 128> name{};
  require(::ptsname_r(controller_, name.data(), name.size()) == 0, "ptsname_r");
  terminalPath_ = name.data();
}

PtyNode::~PtyNode() { hangUp(); }

void PtyNode::write(const Bytes& bytes) {
  require(::write(controller_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()), "write");
}

Bytes PtyNode::read(std::size_t count, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  Bytes received;
  while (received.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !waitReadable(controller_, left)) break;
    Bytes chunk(count - received.size());
    const ssize_t length = ::read(controller_, chunk.data(), chunk.size());
    if (length <= 0) break;
    received.insert(received.end(), chunk.begin(), chunk.begin() + length);
  }
  return received;
}

void PtyNode::hangUp() {
  if (controller_ >= 0) ::close(controller_);
  controller_ = -1;
}

}  // namespace ostest
