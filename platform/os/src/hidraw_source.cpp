#include "hidraw_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "descriptor_channel.h"
#include "identity_texts.h"
#include "text_file.h"

namespace os::hid {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kNodePrefix = "hidraw";
// From the HID device in sysfs up to its USB device: interface, then device. A third step
// leaves room for a hub-style extra level without wandering off into the bus.
constexpr int kUsbDeviceSearchDepth = 3;

// hidraw nodes report unnumbered input reports without an id byte and numbered ones with
// it, exactly as the device sent them; output reports carry the id byte first, which the
// kernel strips again for unnumbered reports.
class HidrawChannel final : public DescriptorChannel {
 public:
  using DescriptorChannel::DescriptorChannel;

 protected:
  ssize_t writePacket(std::span<const std::uint8_t> packet) override {
    return ::write(descriptor(), packet.data(), packet.size());
  }
  ssize_t readPacket(std::span<std::uint8_t> packet) override {
    return ::read(descriptor(), packet.data(), packet.size());
  }
  std::span<const std::uint8_t> reportOf(std::span<const std::uint8_t> packet) const override { return packet; }
};

// The node number of "hidraw12", or nothing for any other name.
std::optional<std::int64_t> nodeNumber(std::string_view name) {
  if (!name.starts_with(kNodePrefix)) return std::nullopt;
  return text::parseDecimal(name.substr(kNodePrefix.size()));
}

// The USB device above a HID device: the first ancestor that has USB descriptor files.
std::optional<fs::path> usbDeviceAbove(const fs::path& hidDevice) {
  fs::path candidate = hidDevice;
  for (int step = 0; step < kUsbDeviceSearchDepth && candidate.has_relative_path(); ++step) {
    candidate = candidate.parent_path();
    std::error_code error;
    if (fs::is_regular_file(candidate / "idVendor", error)) return candidate;
  }
  return std::nullopt;
}

std::string environmentOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

HidrawSource::HidrawSource(fs::path sysfsRoot, fs::path devRoot)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)) {}

std::shared_ptr<const HidrawSource> HidrawSource::fromEnvironment() {
  return std::make_shared<const HidrawSource>(environmentOr("UPDATER_HIDRAW_SYSFS_ROOT", "/sys/class/hidraw"),
                                              environmentOr("UPDATER_HIDRAW_DEV_ROOT", "/dev"));
}

std::vector<DeviceRecord> HidrawSource::enumerate() const {
  std::vector<std::pair<std::int64_t, std::string>> nodes;
  std::error_code error;
  for (fs::directory_iterator entry(sysfsRoot_, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (const auto number = nodeNumber(name)) nodes.emplace_back(*number, name);
  }
  // By number, so hidraw2 comes before hidraw10, as the kernel created them.
  std::sort(nodes.begin(), nodes.end());

  std::vector<DeviceRecord> records;
  for (const auto& [number, name] : nodes) records.push_back({name, identityOf(name)});
  return records;
}

DeviceIdentity HidrawSource::identityOf(const std::string& location) const {
  const fs::path hidDeviceLink = sysfsRoot_ / location / "device";
  // Not on USB (Bluetooth, I2C, uhid): the HID device's own name and unique id from the
  // uevent are all there is.
  DeviceIdentity identity = ueventIdentity(text::readFile(hidDeviceLink / "uevent").value_or(""));

  std::error_code error;
  const fs::path hidDevice = fs::canonical(hidDeviceLink, error);
  if (const auto usbDevice = error ? std::nullopt : usbDeviceAbove(hidDevice)) {
    // The USB strings one by one, in place of the uevent's: HID_NAME joins manufacturer and
    // product with a space, which cannot be split again where either has spaces of its own.
    if (const auto bcdDevice = text::readFirstLine(*usbDevice / "bcdDevice")) {
      identity.versionNumber = text::parseHex(*bcdDevice);
    }
    identity.manufacturer = text::readFirstLine(*usbDevice / "manufacturer");
    identity.product = text::readFirstLine(*usbDevice / "product");
    identity.serialNumber = text::readFirstLine(*usbDevice / "serial");
  }
  return identity;
}

bool HidrawSource::isPresent(const std::string& location) const {
  std::error_code error;
  return nodeNumber(location).has_value() && fs::exists(sysfsRoot_ / location, error);
}

OpenResult HidrawSource::open(const std::string& location) const {
  if (!isPresent(location)) return OpenResult::deviceAbsent();
  OpenResult result;
  result.node = (devRoot_ / location).string();
  const int descriptor = ::open(result.node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) {
    result.error = errno;
    return result;
  }
  result.channel = std::make_unique<HidrawChannel>(UniqueFd(descriptor));
  return result;
}

}  // namespace os::hid
