// The bootloader's side of the HID command protocol: one output report in, the device's
// reaction out. No sockets and no clocks here, so every rule can be tested directly.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "devsim/memory.h"
#include "devsim/options.h"

namespace devsim {

inline constexpr std::size_t kReportSize = 64;
inline constexpr std::size_t kMaxDataBytes = 58;
inline constexpr std::uint8_t kRegionEndMarker = 255;
inline constexpr std::uint8_t kUnsolicitedCode = 0x55;
// How long after its own report a device with --unsolicited answers a query.
inline constexpr std::chrono::milliseconds kUnsolicitedLead{50};

enum class Command : std::uint8_t {
  QueryDevice = 2,
  EraseDevice = 4,
  ProgramDevice = 5,
  ProgramComplete = 6,
  GetData = 7,
};

using Report = std::vector<std::uint8_t>;

struct Reaction {
  std::vector<Report> ahead;              // input reports sent at once, before the answers
  std::vector<Report> answers;            // input reports, in the order they are sent
  std::chrono::milliseconds answerDelay{0};  // the answers leave this long after the report came
  std::chrono::milliseconds busyFor{0};   // before the device looks at the next report
  std::vector<std::string> notes;         // what the traffic log should say beyond the bytes
};

struct BootloaderStats {
  std::uint64_t reportsReceived = 0;
  std::array<std::uint64_t, 256> commandsReceived{};  // by command code (byte 0)
  std::uint64_t bytesProgrammed = 0;                  // landed in a region
  std::uint64_t bytesOutsideRegions = 0;              // dropped

  std::uint64_t received(Command command) const {
    return commandsReceived.at(static_cast<std::uint8_t>(command));
  }
};

class Bootloader {
 public:
  explicit Bootloader(const Options& options);

  // `report` is an output report without its report id. Reports shorter than 64 bytes
  // read as if zero-padded, longer ones as if cut at 64.
  Reaction handle(std::span<const std::uint8_t> report);

  // Reports the device sends on its own when a host connects.
  std::vector<Report> sessionStarted() const;
  // One report of the flood (--flood): its length, the stray report's code in byte 0.
  Report floodReport() const;

  const DeviceMemory& memory() const { return memory_; }
  const BootloaderStats& stats() const { return stats_; }

 private:
  using Packet = std::array<std::uint8_t, kReportSize>;

  Report queryAnswer() const;
  Report getDataAnswer(std::uint32_t address, std::size_t count) const;
  // `packet` holds the `size` data bytes at its end.
  void program(std::uint32_t address, std::size_t size, const Packet& packet, Reaction& reaction);
  void answer(Report report, Reaction& reaction) const;

  Options options_;
  DeviceMemory memory_;
  BootloaderStats stats_;
};

}  // namespace devsim
