#include "test_support.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "wait_readable.h"

namespace devsim::test {

using Clock = std::chrono::steady_clock;
using testsupport::WaitReadable;

Report commandPacket(Command command) {
  Report packet(kReportSize, 0);
  packet[0] = static_cast<std::uint8_t>(command);
  return packet;
}

namespace {
Report addressed(Command command, std::uint32_t address, std::uint8_t count) {
  Report packet = commandPacket(command);
  for (std::size_t i = 0; i < 4; ++i) packet[1 + i] = static_cast<std::uint8_t>(address >> (8 * i));
  packet[5] = count;
  return packet;
}
}  // namespace

Report programPacket(std::uint32_t address, std::span<const std::uint8_t> data) {
  Report packet = addressed(Command::ProgramDevice, address, static_cast<std::uint8_t>(data.size()));
  std::copy(data.begin(), data.end(), packet.end() - static_cast<std::ptrdiff_t>(data.size()));
  return packet;
}

Report getDataPacket(std::uint32_t address, std::uint8_t count) {
  return addressed(Command::GetData, address, count);
}

std::uint32_t le32At(std::span<const std::uint8_t> report, std::size_t offset) {
  auto bytes = report.subspan(offset, 4);
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

std::vector<std::uint8_t> getDataPayload(const Report& answer) {
  const std::size_t count = answer.at(5);
  return {answer.end() - static_cast<std::ptrdiff_t>(count), answer.end()};
}

HostConnection::HostConnection(const std::filesystem::path& socketPath) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) close();
}

HostConnection::~HostConnection() { close(); }

void HostConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void HostConnection::send(std::span<const std::uint8_t> report) {
  std::vector<std::uint8_t> datagram{0};
  datagram.insert(datagram.end(), report.begin(), report.end());
  sendDatagram(datagram);
}

void HostConnection::sendDatagram(std::span<const std::uint8_t> datagram) {
  if (::send(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(datagram.size())) {
    throw std::runtime_error(std::string("send failed: ") + std::strerror(errno));
  }
}

std::optional<Report> HostConnection::receive(std::chrono::milliseconds timeout) {
  if (!WaitReadable(fd_, Clock::now() + timeout)) return std::nullopt;
  std::array<std::uint8_t, 8192> buffer{};
  ssize_t received = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
  if (received <= 0) return std::nullopt;
  return Report(buffer.begin() + 1, buffer.begin() + received);
}

bool HostConnection::waitForClose(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (WaitReadable(fd_, deadline)) {
    std::array<std::uint8_t, 8192> buffer{};
    ssize_t received = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (received == 0 || (received < 0 && errno == ECONNRESET)) return true;
  }
  return false;
}

}  // namespace devsim::test
