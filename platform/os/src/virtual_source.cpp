#include "virtual_source.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "descriptor_channel.h"
#include "text_file.h"

namespace os::hid {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPropsSuffix = ".props";
constexpr std::string_view kSocketSuffix = ".sock";

// Unnumbered reports (id 0) arrive as the report alone, without the id byte; numbered ones
// keep it in front, as hidraw and IOKit hand them over. A 1-byte datagram is an empty report.
class VirtualChannel final : public DescriptorChannel {
 public:
  using DescriptorChannel::DescriptorChannel;

 protected:
  ssize_t writePacket(std::span<const std::uint8_t> packet) override {
    // MSG_NOSIGNAL: a simulator that has quit must not kill the program with SIGPIPE.
    return ::send(descriptor(), packet.data(), packet.size(), MSG_NOSIGNAL);
  }
  ssize_t readPacket(std::span<std::uint8_t> packet) override {
    // A sequenced-packet socket never hands out an empty datagram: 0 is the peer closing.
    return ::recv(descriptor(), packet.data(), packet.size(), 0);
  }
  std::span<const std::uint8_t> reportOf(std::span<const std::uint8_t> packet) const override {
    return packet.front() == 0 ? packet.subspan(1) : packet;
  }
};

bool isSocket(const fs::path& path) {
  std::error_code error;
  return fs::is_socket(path, error);
}

// A simulator that crashed leaves its files behind; its process id tells.
bool processIsAlive(const std::optional<std::int64_t>& pid) {
  if (!pid || *pid <= 0 || *pid > std::numeric_limits<pid_t>::max()) return false;
  return ::kill(static_cast<pid_t>(*pid), 0) == 0 || errno != ESRCH;
}

std::optional<std::int64_t> numberProperty(const std::map<std::string, std::string, std::less<>>& properties,
                                           std::string_view key) {
  const auto value = properties.find(key);
  return value != properties.end() ? text::parseDecimal(value->second) : std::nullopt;
}

std::optional<std::string> textProperty(const std::map<std::string, std::string, std::less<>>& properties,
                                        std::string_view key) {
  const auto value = properties.find(key);
  return value != properties.end() ? std::optional<std::string>(value->second) : std::nullopt;
}

fs::path defaultDirectory() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    return fs::path(runtime) / "trovak-hid";
  }
  return fs::path("/tmp") / ("trovak-hid-" + std::to_string(::getuid()));
}

}  // namespace

VirtualSource::VirtualSource(fs::path directory) : directory_(std::move(directory)) {}

std::shared_ptr<const VirtualSource> VirtualSource::fromEnvironment() {
  const char* configured = std::getenv("UPDATER_VIRTUAL_HID_DIR");
  return std::make_shared<const VirtualSource>(configured != nullptr && *configured != '\0' ? fs::path(configured)
                                                                                            : defaultDirectory());
}

std::optional<VirtualSource::Properties> VirtualSource::livePropertiesOf(const std::string& location) const {
  if (!isSocket(directory_ / (location + std::string(kSocketSuffix)))) return std::nullopt;
  const auto contents = text::readFile(directory_ / (location + std::string(kPropsSuffix)));
  if (!contents) return std::nullopt;
  Properties properties = text::parseKeyValueLines(*contents);
  // Without a Pid there is nothing to check, and the device counts as there.
  if (properties.contains("Pid") && !processIsAlive(numberProperty(properties, "Pid"))) return std::nullopt;
  return properties;
}

std::vector<DeviceRecord> VirtualSource::enumerate() const {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(directory_, error)) {
    const std::string fileName = entry.path().filename().string();
    if (fileName.size() > kPropsSuffix.size() && fileName.ends_with(kPropsSuffix)) {
      names.push_back(fileName.substr(0, fileName.size() - kPropsSuffix.size()));
    }
  }
  std::sort(names.begin(), names.end());

  std::vector<DeviceRecord> records;
  for (const std::string& name : names) {
    const auto properties = livePropertiesOf(name);
    if (!properties) continue;
    DeviceIdentity identity;
    identity.vendorId = numberProperty(*properties, "VendorID");
    identity.productId = numberProperty(*properties, "ProductID");
    identity.versionNumber = numberProperty(*properties, "VersionNumber");
    identity.manufacturer = textProperty(*properties, "Manufacturer");
    identity.product = textProperty(*properties, "Product");
    identity.serialNumber = textProperty(*properties, "SerialNumber");
    records.push_back({name, std::move(identity)});
  }
  return records;
}

bool VirtualSource::isPresent(const std::string& location) const { return livePropertiesOf(location).has_value(); }

OpenResult VirtualSource::open(const std::string& location) const {
  OpenResult result;
  result.node = (directory_ / (location + std::string(kSocketSuffix))).string();

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (result.node.size() >= sizeof(address.sun_path)) {
    result.error = ENAMETOOLONG;
    return result;
  }
  std::copy(result.node.begin(), result.node.end(), std::begin(address.sun_path));

  UniqueFd descriptor(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!descriptor.valid() ||
      ::connect(descriptor.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    result.error = errno;
    return result;
  }
  result.channel = std::make_unique<VirtualChannel>(std::move(descriptor));
  return result;
}

}  // namespace os::hid
