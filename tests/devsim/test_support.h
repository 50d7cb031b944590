// A host's side of the simulator's wire, as small as the tests need; the connection itself
// is a testsupport::SeqPacketPeer.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "devsim/bootloader.h"

namespace devsim::test {

// Command packets as the updater builds them: 64 bytes, little-endian fields, program
// data right-aligned.
Report commandPacket(Command command);
Report programPacket(std::uint32_t address, std::span<const std::uint8_t> data);
Report getDataPacket(std::uint32_t address, std::uint8_t count);

std::uint32_t le32At(std::span<const std::uint8_t> report, std::size_t offset);
// The data of a GET_DATA answer: byte 5 says how many, right-aligned at byte 63.
std::vector<std::uint8_t> getDataPayload(const Report& answer);

}  // namespace devsim::test
