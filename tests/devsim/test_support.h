// A host's side of the simulator's wire, as small as the tests need: command packets and
// a socket connection.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "devsim/bootloader.h"

namespace devsim::test {

using namespace std::chrono_literals;

// Command packets as the updater builds them: 64 bytes, little-endian fields, program
// data right-aligned.
Report commandPacket(Command command);
Report programPacket(std::uint32_t address, std::span<const std::uint8_t> data);
Report getDataPacket(std::uint32_t address, std::uint8_t count);

std::uint32_t le32At(std::span<const std::uint8_t> report, std::size_t offset);
// The data of a GET_DATA answer: byte 5 says how many, right-aligned at byte 63.
std::vector<std::uint8_t> getDataPayload(const Report& answer);

class HostConnection {
 public:
  explicit HostConnection(const std::filesystem::path& socketPath);
  ~HostConnection();
  HostConnection(const HostConnection&) = delete;
  HostConnection& operator=(const HostConnection&) = delete;

  bool connected() const { return fd_ >= 0; }
  void send(std::span<const std::uint8_t> report);  // prefixes the report id
  void sendDatagram(std::span<const std::uint8_t> datagram);  // exactly as given
  // The next input report (without its id), or nothing when none came in time.
  std::optional<Report> receive(std::chrono::milliseconds timeout = 2000ms);
  // True once the device has closed the connection.
  bool waitForClose(std::chrono::milliseconds timeout = 2000ms);
  void close();

 private:
  int fd_ = -1;
};

}  // namespace devsim::test
