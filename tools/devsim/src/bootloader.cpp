#include "devsim/bootloader.h"

#include <algorithm>
#include <cstddef>

namespace devsim {

namespace {

constexpr std::size_t kAddressOffset = 1;
constexpr std::size_t kSizeOffset = 5;
constexpr std::size_t kFirstRegionRecord = 3;
constexpr std::size_t kRegionRecordSize = 9;

std::uint32_t loadLe32(std::span<const std::uint8_t, 4> bytes) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

void storeLe32(std::span<std::uint8_t, 4> bytes, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

Bootloader::Bootloader(const Options& options)
    : options_(options), memory_(options.regions, options.family, options.initialFill) {}

Reaction Bootloader::handle(std::span<const std::uint8_t> report) {
  Reaction reaction;
  ++stats_.reportsReceived;
  if (report.empty()) return reaction;

  Packet packet{};
  std::copy_n(report.begin(), std::min(report.size(), packet.size()), packet.begin());
  ++stats_.commandsReceived.at(packet[0]);
  const std::uint32_t address = loadLe32(std::span(packet).subspan<kAddressOffset, 4>());
  const std::size_t size = packet[kSizeOffset];

  switch (static_cast<Command>(packet[0])) {
    case Command::QueryDevice:
      answer(queryAnswer(), reaction);
      // Its own report goes first, well ahead of the answer, so that a host meets it first
      // however it is scheduled.
      if (options_.faults.unsolicited && !reaction.answers.empty()) {
        reaction.ahead = sessionStarted();
        reaction.answerDelay = kUnsolicitedLead;
      }
      break;
    case Command::EraseDevice:
      memory_.erase();
      reaction.busyFor = options_.eraseTime;
      break;
    case Command::ProgramDevice:
      program(address, size, packet, reaction);
      break;
    case Command::ProgramComplete:
      // The real bootloader flushes its write buffer here; this memory is written at once.
      break;
    case Command::GetData:
      if (size > kMaxDataBytes) {
        reaction.notes.push_back("GET_DATA size " + std::to_string(size) + " is over 58: not answered");
      } else {
        std::size_t delivered = size - std::min<std::size_t>(size, options_.faults.shortGetData);
        answer(getDataAnswer(address, delivered), reaction);
      }
      break;
  }
  if (options_.faults.answerTwiceTo == stats_.reportsReceived && !reaction.answers.empty()) {
    reaction.answers.insert(reaction.answers.begin() + 1, reaction.answers.front());
    reaction.notes.push_back("answered twice");
  }
  const auto& late = options_.faults.lateAnswer;
  if (late && late->report == stats_.reportsReceived && !reaction.answers.empty()) {
    reaction.answerDelay = late->delay;
    reaction.notes.push_back("answered " + std::to_string(late->delay.count()) + " ms late");
  }
  return reaction;
}

Report Bootloader::floodReport() const {
  Report stray(options_.faults.floodLength.value_or(0), 0);
  if (!stray.empty()) stray[0] = kUnsolicitedCode;
  return stray;
}

std::vector<Report> Bootloader::sessionStarted() const {
  if (!options_.faults.unsolicited) return {};
  Report stray(kReportSize, 0);
  stray[0] = kUnsolicitedCode;
  return {stray};
}

Report Bootloader::queryAnswer() const {
  Packet packet{};
  packet[0] = static_cast<std::uint8_t>(Command::QueryDevice);
  packet[1] = options_.bytesPerPacket;
  packet[2] = options_.family;
  std::vector<RegionLayout> listed;
  for (const RegionMemory& region : memory_.regions()) listed.push_back(region.layout);
  const auto& phantoms = options_.faults.phantomRegions;
  listed.insert(listed.end(), phantoms.begin(), phantoms.end());
  std::size_t record = kFirstRegionRecord;
  for (const RegionLayout& layout : listed) {
    auto fields = std::span(packet).subspan(record, kRegionRecordSize);
    fields[0] = layout.type;
    storeLe32(fields.subspan<1, 4>(), layout.address);
    storeLe32(fields.subspan<5, 4>(), layout.size);
    record += kRegionRecordSize;
  }
  if (listed.size() < kMaxRegions) packet.at(record) = kRegionEndMarker;
  return Report(packet.begin(), packet.end());
}

Report Bootloader::getDataAnswer(std::uint32_t address, std::size_t count) const {
  Packet packet{};
  packet[0] = static_cast<std::uint8_t>(Command::GetData);
  storeLe32(std::span(packet).subspan<kAddressOffset, 4>(), address);
  packet[kSizeOffset] = static_cast<std::uint8_t>(count);

  std::vector<std::uint8_t> data = memory_.read(address, count);
  const std::size_t bytesPerAddress = memory_.bytesPerAddress();
  for (std::uint32_t corrupt : options_.faults.corruptAddresses) {
    for (std::size_t j = 0; j < data.size(); ++j) {
      if (std::uint64_t{address} + j / bytesPerAddress == corrupt) data[j] = static_cast<std::uint8_t>(~data[j]);
    }
  }
  // Like the data of PROGRAM_DEVICE, the answer's data sit at the end of the report.
  std::ranges::copy(data, std::span(packet).last(count).begin());
  return Report(packet.begin(), packet.end());
}

void Bootloader::program(std::uint32_t address, std::size_t size, const Packet& packet, Reaction& reaction) {
  if (size > kMaxDataBytes) {
    reaction.notes.push_back("PROGRAM_DEVICE size " + std::to_string(size) + " is over 58: nothing written");
    return;
  }
  const std::size_t outside = memory_.program(address, std::span(packet).last(size));
  stats_.bytesProgrammed += size - outside;
  stats_.bytesOutsideRegions += outside;
  if (outside != 0) {
    reaction.notes.push_back("PROGRAM_DEVICE ignored " + std::to_string(outside) + " bytes outside every region");
  }
}

void Bootloader::answer(Report report, Reaction& reaction) const {
  if (options_.faults.neverAnswer) return;
  if (options_.faults.wrongCode) report.at(0) = *options_.faults.wrongCode;
  if (options_.faults.answerLength) report.resize(*options_.faults.answerLength, 0);
  reaction.answers.push_back(std::move(report));
}

}  // namespace devsim
