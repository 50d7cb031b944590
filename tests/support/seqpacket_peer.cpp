#include "seqpacket_peer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "wait_readable.h"

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

// Larger than any report, so that no datagram is cut short without notice.
constexpr std::size_t kLargestDatagram = 8192;

}  // namespace

sockaddr_un UnixAddress(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string& text = path.native();
  if (text.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long: " + text);
  std::copy(text.begin(), text.end(), address.sun_path);
  return address;
}

SeqPacketPeer SeqPacketPeer::ConnectTo(const std::filesystem::path& socketPath) {
  const sockaddr_un address = UnixAddress(socketPath);
  SeqPacketPeer peer(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
  if (peer.IsConnected() &&
      ::connect(peer.fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    peer.Close();
  }
  return peer;
}

SeqPacketPeer::~SeqPacketPeer() { Close(); }

SeqPacketPeer::SeqPacketPeer(SeqPacketPeer&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SeqPacketPeer& SeqPacketPeer::operator=(SeqPacketPeer&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void SeqPacketPeer::SendDatagram(std::span<const std::uint8_t> datagram) {
  if (::send(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(datagram.size())) {
    throw std::runtime_error(std::string("send: ") + std::strerror(errno));
  }
}

void SeqPacketPeer::SendReport(std::span<const std::uint8_t> report) {
  Bytes datagram{0};
  datagram.insert(datagram.end(), report.begin(), report.end());
  SendDatagram(datagram);
}

std::optional<SeqPacketPeer::Bytes> SeqPacketPeer::NextDatagram(std::chrono::milliseconds timeout) {
  if (!WaitReadable(fd_, Clock::now() + timeout)) return std::nullopt;
  // A datagram holds at least its report id: zero bytes means the other end has gone.
  Bytes datagram(kLargestDatagram);
  const ssize_t length = ::recv(fd_, datagram.data(), datagram.size(), MSG_DONTWAIT);
  if (length <= 0) return std::nullopt;
  datagram.resize(static_cast<std::size_t>(length));
  return datagram;
}

std::optional<SeqPacketPeer::Bytes> SeqPacketPeer::NextReport(std::chrono::milliseconds timeout) {
  auto datagram = NextDatagram(timeout);
  if (datagram) datagram->erase(datagram->begin());
  return datagram;
}

bool SeqPacketPeer::PeerClosed(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (WaitReadable(fd_, deadline)) {
    std::array<std::uint8_t, kLargestDatagram> buffer{};
    const ssize_t length = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    // A peer that closes with our datagrams unread resets the connection instead.
    if (length == 0 || (length < 0 && errno == ECONNRESET)) return true;
  }
  return false;
}

void SeqPacketPeer::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace testsupport
