#include "test_support.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <future>
#include <stdexcept>

#include "os/debug_log.h"
#include "wait_readable.h"

namespace ostest {

namespace {

void require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

LogCapture::LogCapture() {
  OSSetDebugLogSink([](const char* line, void* context) { static_cast<LogCapture*>(context)->lines_.emplace_back(line); },
                    this);
}

LogCapture::~LogCapture() { OSSetDebugLogSink(nullptr, nullptr); }

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
  const auto* value = static_cast<CFStringRef>(CFDictionaryGetValue(properties, OSCFStringMakeConstant(key)));
  std::optional<std::string> text;
  if (value != nullptr) {
    std::vector<char> buffer(static_cast<std::size_t>(CFStringGetLength(value)) * 6 + 1);
    if (CFStringGetCString(value, buffer.data(), static_cast<CFIndex>(buffer.size()), kCFStringEncodingUTF8)) {
      text = buffer.data();
    }
  }
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

CreatedPlugIn CreatePlugIn(io_object_t entry) {
  CreatedPlugIn created;
  created.result = IOCreatePlugInInterfaceForService(entry, kIOHIDDeviceUserClientTypeID, kIOCFPlugInInterfaceID,
                                                     &created.plugIn, &created.score);
  return created;
}

ConnectedDevice::ConnectedDevice(io_object_t entry, std::uint32_t reportBufferSize) : buffer_(reportBufferSize) {
  IOCFPlugInInterface** plugIn = CreatePlugIn(entry).plugIn;
  if (plugIn == nullptr) return;
  (*plugIn)->QueryInterface(plugIn, CFUUIDGetUUIDBytes(kIOHIDDeviceInterfaceID), reinterpret_cast<LPVOID*>(&device_));
  (*plugIn)->Release(plugIn);
  if (device_ == nullptr) return;

  openResult_ = (*device_)->open(device_, 0);
  if (openResult_ != kIOReturnSuccess) return;
  eventSourceResult_ = (*device_)->createAsyncEventSource(device_, &source_);
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

bool FinishesWithin(std::chrono::milliseconds limit, const std::vector<std::filesystem::path>& fifos,
                    const std::function<void()>& work) {
  std::future<void> done = std::async(std::launch::async, work);
  if (done.wait_for(limit) == std::future_status::ready) return true;
  while (done.wait_for(10ms) != std::future_status::ready) {
    for (const std::filesystem::path& fifo : fifos) {
      const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (writer >= 0) ::close(writer);
    }
  }
  return false;
}

PtyNode::PtyNode() : controller_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
  require(controller_.valid(), "posix_openpt");
  const int controller = controller_.get();
  require(::grantpt(controller) == 0 && ::unlockpt(controller) == 0, "unlockpt");
  // Raw: report bytes pass both ways untouched (no echo, no line editing, no CR/LF games).
  termios settings{};
  require(::tcgetattr(controller, &settings) == 0, "tcgetattr");
  ::cfmakeraw(&settings);
  require(::tcsetattr(controller, TCSANOW, &settings) == 0, "tcsetattr");
  std::array<char, 128> name{};
  require(::ptsname_r(controller, name.data(), name.size()) == 0, "ptsname_r");
  terminalPath_ = name.data();
}

void PtyNode::write(const Bytes& bytes) {
  require(::write(controller_.get(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()), "write");
}

Bytes PtyNode::read(std::size_t count, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  Bytes received;
  while (received.size() < count) {
    if (!testsupport::WaitReadable(controller_.get(), deadline)) break;
    Bytes chunk(count - received.size());
    const ssize_t length = ::read(controller_.get(), chunk.data(), chunk.size());
    if (length <= 0) break;
    received.insert(received.end(), chunk.begin(), chunk.begin() + length);
  }
  return received;
}

void PtyNode::hangUp() { controller_.reset(); }

}  // namespace ostest
