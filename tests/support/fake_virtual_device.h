// A virtual HID device made by hand, for tests that want to see or send exactly what goes
// over the wire.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "seqpacket_peer.h"

namespace testsupport {

using namespace std::chrono_literals;

// Published the way the simulator publishes a device: a listening SEQPACKET socket
// <name>.sock and a props file <name>.props beside it. The test plays the device; each
// datagram is a report id followed by the report.
class FakeVirtualDevice {
 public:
  using Properties = std::map<std::string, std::string>;
  using Bytes = std::vector<std::uint8_t>;

  // `properties` are written as given, with this process's Pid added unless it is among
  // them. Without a socket only the props file is written, as a simulator that died before
  // it listened leaves it. Throws when the files or the socket cannot be made.
  FakeVirtualDevice(const std::filesystem::path& folder, const std::string& name, Properties properties,
                    bool withSocket = true);
  // Closes the socket and removes both files, as a simulator that quits does.
  ~FakeVirtualDevice();
  FakeVirtualDevice(const FakeVirtualDevice&) = delete;
  FakeVirtualDevice& operator=(const FakeVirtualDevice&) = delete;

  // Takes the host's pending connection; false when none came in time.
  bool AcceptHost(std::chrono::milliseconds timeout = 5s);
  // One datagram as given: report id first.
  void SendDatagram(const Bytes& datagram);
  // One input report, with report id 0 in front as the wire wants it.
  void SendReport(std::span<const std::uint8_t> report);
  // The next datagram the host sent (report id first); nothing when none came in time or
  // the host has closed the connection.
  std::optional<Bytes> NextDatagram(std::chrono::milliseconds timeout = 5s);
  // True once the host has closed its connection; what it sent until then is dropped.
  bool HostClosed(std::chrono::milliseconds timeout = 5s);
  // Ends the session, as a simulator that disappears does.
  void CloseConnection();
  // Stops listening but leaves the files: the device is listed, yet cannot be opened.
  void StopListening();

 private:
  std::filesystem::path socketPath_;
  std::filesystem::path propsPath_;
  int listener_ = -1;
  SeqPacketPeer host_;
};

}  // namespace testsupport
