#include "virtual_source.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "descriptor_channel.h"
#include "identity_texts.h"
#include "os/debug_log.h"
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
    for (;;) {
      const ssize_t length = ::recv(descriptor(), packet.data(), packet.size(), 0);
      // A sequenced-packet socket answers 0 both for the peer's end and for an empty
      // datagram; only a hang-up tells them apart. Every datagram should hold at least the
      // report-id byte, so an empty one is malformed and dropped.
      if (length != 0 || peerHasHungUp()) return length;
    }
  }
  std::span<const std::uint8_t> reportOf(std::span<const std::uint8_t> packet) const override {
    return packet.front() == 0 ? packet.subspan(1) : packet;
  }

 private:
  bool peerHasHungUp() const {
    pollfd entry{descriptor(), POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLRDHUP)) != 0;
  }
};

// A simulator that crashed leaves its files behind; its process id tells.
bool processIsAlive(const std::optional<std::int64_t>& pid) {
  if (!pid || *pid <= 0 || *pid > std::numeric_limits<pid_t>::max()) return false;
  return ::kill(static_cast<pid_t>(*pid), 0) == 0 || errno != ESRCH;
}

fs::path defaultDirectory() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    return fs::path(runtime) / "trovak-hid";
  }
  return fs::path("/tmp") / ("trovak-hid-" + std::to_string(::getuid()));
}

// Why the device folder is not to be trusted, or nothing when it is (or is not there at
// all). /tmp/trovak-hid-<uid> is a name any local user can take first and fill with
// devices, so the folder must be the user's own and writable by nobody else.
std::optional<std::string> folderDistrust(const fs::path& folder) {
  struct stat status {};
  if (::lstat(folder.c_str(), &status) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    return std::string("cannot be inspected: ") + std::strerror(errno);
  }
  if (!S_ISDIR(status.st_mode)) return "is not a folder (a link or another kind of file)";
  if (status.st_uid != ::getuid()) return "belongs to another user";
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "is writable by other users";
  return std::nullopt;
}

}  // namespace

VirtualSource::VirtualSource(fs::path directory) : directory_(std::move(directory)) {}

std::shared_ptr<const VirtualSource> VirtualSource::fromEnvironment() {
  const char* configured = std::getenv("UPDATER_VIRTUAL_HID_DIR");
  return std::make_shared<const VirtualSource>(configured != nullptr && *configured != '\0' ? fs::path(configured)
                                                                                            : defaultDirectory());
}

VirtualSource::Lookup VirtualSource::lookUp(const std::string& location) const {
  const fs::path socketPath = directory_ / (location + std::string(kSocketSuffix));
  struct stat socketStatus {};
  if (::lstat(socketPath.c_str(), &socketStatus) != 0 || !S_ISSOCK(socketStatus.st_mode)) return {};
  if (socketStatus.st_uid != ::getuid()) return {std::nullopt, "its socket belongs to another user"};
  const auto props = text::readRegularFile(directory_ / (location + std::string(kPropsSuffix)));
  if (!props) return {};
  if (props->owner != ::getuid()) return {std::nullopt, "its props file belongs to another user"};
  Properties properties = text::parseKeyValueLines(props->contents);
  // Without a Pid there is nothing to check, and the device counts as there.
  if (properties.contains("Pid") && !processIsAlive(numberProperty(properties, "Pid"))) return {};
  return {std::move(properties), {}};
}

std::vector<DeviceRecord> VirtualSource::enumerate() const {
  if (const auto distrust = folderDistrust(directory_)) {
    OSDebugLog(("Virtual HID devices ignored: " + directory_.string() + " " + *distrust).c_str());
    return {};
  }
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator entry(directory_, error), end; !error && entry != end; entry.increment(error)) {
    const std::string fileName = entry->path().filename().string();
    if (fileName.size() > kPropsSuffix.size() && fileName.ends_with(kPropsSuffix)) {
      names.push_back(fileName.substr(0, fileName.size() - kPropsSuffix.size()));
    }
  }
  std::sort(names.begin(), names.end());

  std::vector<DeviceRecord> records;
  for (const std::string& name : names) {
    const Lookup lookup = lookUp(name);
    if (!lookup.distrust.empty()) {
      OSDebugLog(("Virtual HID device " + name + " ignored: " + lookup.distrust).c_str());
    }
    if (!lookup.properties) continue;
    records.push_back({name, propsIdentity(*lookup.properties)});
  }
  return records;
}

bool VirtualSource::isPresent(const std::string& location) const {
  return !folderDistrust(directory_) && lookUp(location).properties.has_value();
}

OpenResult VirtualSource::open(const std::string& location) const {
  // A socket alone is no device: it may be a dead simulator's, or someone else's.
  if (!isPresent(location)) return OpenResult::deviceAbsent();
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
