#include "test_support.h"

#include <algorithm>

namespace devsim::test {

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

}  // namespace devsim::test
