#include "hid_device.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "descriptor_channel.h"
#include "os/debug_log.h"
#include "run_loop_impl.h"

namespace os::hid {
namespace {

// The COM object shape both interfaces share. Callers hold a pointer to the vtable pointer
// and pass it back as `self`; `owner` leads back to the C++ object, whatever its layout.
// Derived names its function table `Derived::vtable`.
template <class Derived, class VTable>
class ComObject {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  VTable** interface() { return &header_.vtable; }

 protected:
  ComObject() = default;
  ~ComObject() = default;

  static Derived& from(void* self) { return static_cast<Derived&>(baseOf(self)); }

  static ULONG addRef(void* self) { return ++baseOf(self).references_; }

  static ULONG release(void* self) {
    ComObject& object = baseOf(self);
    const ULONG left = --object.references_;
    if (left == 0) delete &static_cast<Derived&>(object);
    return left;
  }

 private:
  struct Header {
    VTable* vtable;
    void* owner;
  };

  static ComObject& baseOf(void* self) { return *static_cast<ComObject*>(static_cast<Header*>(self)->owner); }

  Header header_{&Derived::vtable, this};
  ULONG references_ = 1;
};

bool sameId(const REFIID& iid, CFUUIDRef uuid) {
  const CFUUIDBytes bytes = CFUUIDGetUUIDBytes(uuid);
  return std::equal(std::begin(iid.bytes), std::end(iid.bytes), std::begin(bytes.bytes));
}

// Reports waiting at once are taken in one go, up to this many, so that a chatty device
// cannot hold the loop forever.
constexpr int kLargestReportBurst = 64;

class HidDevice final : public ComObject<HidDevice, IOHIDDeviceInterface> {
 public:
  explicit HidDevice(std::shared_ptr<const RegistryEntry> entry) : entry_(std::move(entry)) {}

  static IOHIDDeviceInterface vtable;

 private:
  struct ReportHandler {
    std::span<std::uint8_t> buffer;
    IOHIDReportCallbackFunction callback;
    void* target;
    void* refcon;
  };
  struct RemovalHandler {
    IOHIDCallbackFunction callback;
    void* target;
    void* refcon;
  };

  static HRESULT queryInterface(void* self, REFIID iid, LPVOID* interface) {
    if (interface == nullptr) return E_NOINTERFACE;
    if (!sameId(iid, kIOHIDDeviceInterfaceID)) {
      *interface = nullptr;
      return E_NOINTERFACE;
    }
    addRef(self);
    *interface = self;
    return S_OK;
  }

  static IOReturn createAsyncEventSource(void* self, CFRunLoopSourceRef* source) {
    return from(self).createEventSource(source);
  }

  static IOReturn createAsyncPort(void* self, mach_port_t* port) {
    if (from(self).gone_) return kIOReturnNoDevice;
    if (port == nullptr) return kIOReturnBadArgument;
    // Nothing travels through ports here: the event source watches the device itself.
    static mach_port_t lastPort = 0;
    *port = ++lastPort;
    return kIOReturnSuccess;
  }

  static IOReturn open(void* self, UInt32) { return from(self).openChannel(); }

  static IOReturn close(void* self) {
    HidDevice& device = from(self);
    if (const IOReturn state = device.openState(); state != kIOReturnSuccess) return state;
    device.channel_.reset();
    return kIOReturnSuccess;
  }

  static IOReturn setRemovalCallback(void* self, IOHIDCallbackFunction callback, void* target, void* refcon) {
    HidDevice& device = from(self);
    if (device.gone_) return kIOReturnNoDevice;
    device.removalHandler_ = callback != nullptr ? std::optional(RemovalHandler{callback, target, refcon}) : std::nullopt;
    return kIOReturnSuccess;
  }

  // Reports are delivered without queues; starting and stopping them only checks the state.
  static IOReturn startAllQueues(void* self) { return from(self).openState(); }
  static IOReturn stopAllQueues(void* self) { return from(self).openState(); }

  static IOReturn setReport(void* self, IOHIDReportType reportType, UInt32 reportID, void* buffer,
                            UInt32 bufferSize, UInt32 timeoutMS, IOHIDReportCallbackFunction callback, void*,
                            void*) {
    HidDevice& device = from(self);
    if (const IOReturn state = device.openState(); state != kIOReturnSuccess) return state;
    if (reportType != kIOHIDReportTypeOutput || callback != nullptr) return kIOReturnUnsupported;
    if (reportID > 0xFF || (buffer == nullptr && bufferSize != 0)) return kIOReturnBadArgument;
    const std::span<const std::uint8_t> report(static_cast<const std::uint8_t*>(buffer), bufferSize);
    return device.channel_->send(static_cast<std::uint8_t>(reportID), report, std::chrono::milliseconds(timeoutMS));
  }

  static IOReturn setInterruptReportHandlerCallback(void* self, void* buffer, UInt32 bufferSize,
                                                    IOHIDReportCallbackFunction callback, void* target,
                                                    void* refcon) {
    HidDevice& device = from(self);
    if (const IOReturn state = device.openState(); state != kIOReturnSuccess) return state;
    if (callback == nullptr) {
      device.reportHandler_.reset();
      return kIOReturnSuccess;
    }
    if (buffer == nullptr || bufferSize == 0) return kIOReturnBadArgument;
    device.reportHandler_ =
        ReportHandler{std::span<std::uint8_t>(static_cast<std::uint8_t*>(buffer), bufferSize), callback, target, refcon};
    return kIOReturnSuccess;
  }

  // kIOReturnSuccess while the device is open and there.
  IOReturn openState() const {
    if (gone_) return kIOReturnNoDevice;
    return channel_ ? kIOReturnSuccess : kIOReturnNotOpen;
  }

  IOReturn openChannel() {
    if (gone_) return kIOReturnNoDevice;
    if (channel_) return kIOReturnSuccess;
    OpenResult opened = entry_->source->open(entry_->record.location);
    if (opened.absent) return kIOReturnNoDevice;
    if (!opened.channel) {
      const std::string line = "Cannot open HID device " + opened.node + ": " + std::strerror(opened.error);
      OSDebugLog(line.c_str());
      return ioReturnFromErrno(opened.error);
    }
    channel_ = std::move(opened.channel);
    return kIOReturnSuccess;
  }

  IOReturn createEventSource(CFRunLoopSourceRef* source) {
    if (gone_) return kIOReturnNoDevice;
    if (source == nullptr) return kIOReturnBadArgument;
    // The source keeps the device alive for as long as it exists itself.
    addRef(interface());
    const std::shared_ptr<HidDevice> keepAlive(this, [](HidDevice* device) { release(device->interface()); });
    *source = runloop::createSource(
        [keepAlive] { return keepAlive->channel_ ? keepAlive->channel_->descriptor() : -1; },
        [keepAlive](short) { keepAlive->serviceInput(); });
    return kIOReturnSuccess;
  }

  void serviceInput() {
    for (int taken = 0; taken < kLargestReportBurst && channel_; ++taken) {
      const std::span<std::uint8_t> into = reportHandler_ ? reportHandler_->buffer : std::span<std::uint8_t>();
      const InputReport report = channel_->receive(into);
      switch (report.status) {
        case InputReport::Status::NothingYet:
          return;
        case InputReport::Status::Gone:
          noticeRemoval();
          return;
        case InputReport::Status::Report:
          // Without a handler the report is dropped, as a device drops reports nobody asked for.
          if (reportHandler_) {
            const ReportHandler handler = *reportHandler_;
            handler.callback(handler.target, kIOReturnSuccess, handler.refcon, interface(),
                             static_cast<UInt32>(report.length));
          }
          break;
      }
    }
  }

  void noticeRemoval() {
    channel_.reset();
    gone_ = true;
    if (removalHandler_) removalHandler_->callback(removalHandler_->target, kIOReturnSuccess, removalHandler_->refcon,
                                                   interface());
  }

  std::shared_ptr<const RegistryEntry> entry_;
  std::unique_ptr<DeviceChannel> channel_;
  bool gone_ = false;
  std::optional<ReportHandler> reportHandler_;
  std::optional<RemovalHandler> removalHandler_;

  friend constexpr IOHIDDeviceInterface makeDeviceVtable();
};

constexpr IOHIDDeviceInterface makeDeviceVtable() {
  return IOHIDDeviceInterface{
      ._reserved = nullptr,
      .QueryInterface = &HidDevice::queryInterface,
      .AddRef = &HidDevice::addRef,
      .Release = &HidDevice::release,
      .createAsyncEventSource = &HidDevice::createAsyncEventSource,
      .createAsyncPort = &HidDevice::createAsyncPort,
      .open = &HidDevice::open,
      .close = &HidDevice::close,
      .setRemovalCallback = &HidDevice::setRemovalCallback,
      .startAllQueues = &HidDevice::startAllQueues,
      .stopAllQueues = &HidDevice::stopAllQueues,
      .setReport = &HidDevice::setReport,
      .setInterruptReportHandlerCallback = &HidDevice::setInterruptReportHandlerCallback,
  };
}

constinit IOHIDDeviceInterface HidDevice::vtable = makeDeviceVtable();

class PlugIn final : public ComObject<PlugIn, IOCFPlugInInterface> {
 public:
  explicit PlugIn(std::shared_ptr<const RegistryEntry> entry) : entry_(std::move(entry)) {}

  static IOCFPlugInInterface vtable;

 private:
  static HRESULT queryInterface(void* self, REFIID iid, LPVOID* interface) {
    if (interface == nullptr) return E_NOINTERFACE;
    if (sameId(iid, kIOHIDDeviceInterfaceID)) {
      *interface = (new HidDevice(from(self).entry_))->interface();
      return S_OK;
    }
    if (sameId(iid, kIOCFPlugInInterfaceID)) {
      addRef(self);
      *interface = self;
      return S_OK;
    }
    *interface = nullptr;
    return E_NOINTERFACE;
  }

  std::shared_ptr<const RegistryEntry> entry_;

  friend constexpr IOCFPlugInInterface makePlugInVtable();
};

constexpr IOCFPlugInInterface makePlugInVtable() {
  return IOCFPlugInInterface{
      ._reserved = nullptr,
      .QueryInterface = &PlugIn::queryInterface,
      .AddRef = &PlugIn::addRef,
      .Release = &PlugIn::release,
      .version = 1,
      .revision = 0,
  };
}

constinit IOCFPlugInInterface PlugIn::vtable = makePlugInVtable();

}  // namespace

IOCFPlugInInterface** createPlugInInterface(std::shared_ptr<const RegistryEntry> entry) {
  return (new PlugIn(std::move(entry)))->interface();
}

}  // namespace os::hid
