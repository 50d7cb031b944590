#include "fake_virtual_device.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "files.h"
#include "wait_readable.h"

namespace testsupport {
namespace {

void Require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

FakeVirtualDevice::FakeVirtualDevice(const std::filesystem::path& folder, const std::string& name,
                                     Properties properties, bool withSocket)
    : socketPath_(folder / (name + ".sock")), propsPath_(folder / (name + ".props")) {
  if (withSocket) {
    const sockaddr_un address = UnixAddress(socketPath_);
    listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    Require(listener_ >= 0, "socket");
    Require(::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0,
            "bind " + socketPath_.string());
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
  if (!WaitReadable(listener_, std::chrono::steady_clock::now() + timeout)) return false;
  host_ = SeqPacketPeer(::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC));
  return host_.IsConnected();
}

void FakeVirtualDevice::SendDatagram(const Bytes& datagram) { host_.SendDatagram(datagram); }

void FakeVirtualDevice::SendReport(std::span<const std::uint8_t> report) { host_.SendReport(report); }

std::optional<FakeVirtualDevice::Bytes> FakeVirtualDevice::NextDatagram(std::chrono::milliseconds timeout) {
  return host_.NextDatagram(timeout);
}

bool FakeVirtualDevice::HostClosed(std::chrono::milliseconds timeout) { return host_.PeerClosed(timeout); }

void FakeVirtualDevice::CloseConnection() { host_.Close(); }

void FakeVirtualDevice::StopListening() {
  if (listener_ >= 0) ::close(listener_);
  listener_ = -1;
}

}  // namespace testsupport
