// One end of a SEQPACKET connection on a Unix socket, as tests play either side of a
// virtual device's wire: each datagram is a report id followed by the report.
#pragma once

#include <sys/un.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace testsupport {

using namespace std::chrono_literals;

// The socket address of `path`; throws when the path does not fit, rather than naming
// another socket by a cut-off path.
sockaddr_un UnixAddress(const std::filesystem::path& path);

class SeqPacketPeer {
 public:
  using Bytes = std::vector<std::uint8_t>;

  // Owns `descriptor` (negative: not connected).
  explicit SeqPacketPeer(int descriptor = -1) : fd_(descriptor) {}
  // The host's side, opened as the host opens a device: not connected when nobody listens.
  static SeqPacketPeer ConnectTo(const std::filesystem::path& socketPath);
  ~SeqPacketPeer();
  SeqPacketPeer(SeqPacketPeer&& other) noexcept;
  SeqPacketPeer& operator=(SeqPacketPeer&& other) noexcept;

  bool IsConnected() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }

  // One datagram exactly as given; throws when it cannot be sent.
  void SendDatagram(std::span<const std::uint8_t> datagram);
  // One report, with report id 0 in front as the wire wants it.
  void SendReport(std::span<const std::uint8_t> report);
  // The next datagram (report id first); nothing when none came in time or the other end
  // has closed.
  std::optional<Bytes> NextDatagram(std::chrono::milliseconds timeout = 5s);
  // Likewise, without the report id.
  std::optional<Bytes> NextReport(std::chrono::milliseconds timeout = 5s);
  // True once the other end has closed; what it sent until then is dropped.
  bool PeerClosed(std::chrono::milliseconds timeout = 5s);
  void Close();

 private:
  int fd_;
};

}  // namespace testsupport
