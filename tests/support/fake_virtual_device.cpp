#include "fake_virtual_device.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "files.h"
#include "wait_readable.h"

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

void Require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

FakeVirtualDevice::FakeVirtualDevice(const std::filesystem::path& folder, const std::string& name,
                                     Properties properties, bool withSocket)
    : socketPath_(folder / (name + ".sock")), propsPath_(folder / (name + ".props")) {
  if (withSocket) {
    const std::string path = socketPath_.string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) throw std::runtime_error("socket path too long: " + path);
    std::copy(path.begin(), path.end(), address.sun_path);
    listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    Require(listener_ >= 0, "socket");
    Require(::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0,
            "bind " + path);
    Require(::listen(listener_, 4) == 0, "listen");
  }
  properties.try_emplace("Pid", std::to_string(::getpid()));
  std::string contents;
  for (const auto& [key, value] : properties) contents += key + "=" + value + "\n";
  // Published only once it listens, and written aside first, as the simulator does: no
  // reader sees a device without its socket or half a props file.
  const auto aside = std::filesystem::path(propsPath_).concat(".tmp");
  WriteFile(aside, contents);
  std::filesystem::rename(aside, propsPath_);
}

FakeVirtualDevice::~FakeVirtualDevice() {
  CloseConnection();
  StopListening();
  std::error_code ignored;
  std::filesystem::remove(socketPath_, ignored);
  std::filesystem::remove(propsPath_, ignored);
}

bool FakeVirtualDevice::AcceptHost(std::chrono::milliseconds timeout) {
  if (!WaitReadable(listener_, Clock::now() + timeout)) return false;
  connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  return connection_ >= 0;
}

void FakeVirtualDevice::SendDatagram(const Bytes& datagram) {
  Require(::send(connection_, datagram.data(), datagram.size(), MSG_NOSIGNAL) ==
              static_cast<ssize_t>(datagram.size()),
          "send");
}

void FakeVirtualDevice::SendReport(std::span<const std::uint8_t> report) {
  Bytes datagram{0};
  datagram.insert(datagram.end(), report.begin(), report.end());
  SendDatagram(datagram);
}

std::optional<FakeVirtualDevice::Bytes> FakeVirtualDevice::NextDatagram(std::chrono::milliseconds timeout) {
  if (!WaitReadable(connection_, Clock::now() + timeout)) return std::nullopt;
  // A datagram from the host holds at least its report id: zero bytes means it has gone.
  Bytes datagram(4096);
  const ssize_t length = ::recv(connection_, datagram.data(), datagram.size(), 0);
  if (length <= 0) return std::nullopt;
  datagram.resize(static_cast<std::size_t>(length));
  return datagram;
}

bool FakeVirtualDevice::HostClosed(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (WaitReadable(connection_, deadline)) {
    std::array<std::uint8_t, 4096> buffer{};
    if (::recv(connection_, buffer.data(), buffer.size(), 0) <= 0) return true;
  }
  return false;
}

void FakeVirtualDevice::CloseConnection() {
  if (connection_ >= 0) ::close(connection_);
  connection_ = -1;
}

void FakeVirtualDevice::StopListening() {
  if (listener_ >= 0) ::close(listener_);
  listener_ = -1;
}

}  // namespace testsupport
