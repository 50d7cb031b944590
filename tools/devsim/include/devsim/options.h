// What one simulated bootloader device is: its identity, its memory layout, where it
// appears and how it misbehaves. The command line fills this struct; in-process users
// fill it directly.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devsim/result.h"

namespace devsim {

// One memory region as the query answer lists it. Address and size are in device
// address units; both are sent as 32-bit fields.
struct RegionLayout {
  std::uint8_t type = 0;
  std::uint32_t address = 0;
  std::uint32_t size = 0;

  friend bool operator==(const RegionLayout&, const RegionLayout&) = default;
};

inline constexpr std::size_t kMaxRegions = 6;

std::vector<RegionLayout> defaultRegions();

// The answer to one report, counted from 1, leaves `delay` after the report came; the
// device takes nothing else meanwhile.
struct LateAnswer {
  std::uint64_t report = 0;
  std::chrono::milliseconds delay{0};

  friend bool operator==(const LateAnswer&, const LateAnswer&) = default;
};

// Misbehaviour on request. Every fault is something a real device or a real USB stack
// has done to an updater at some point.
struct Faults {
  bool neverAnswer = false;
  std::optional<std::uint8_t> wrongCode;            // code put into byte 0 of every answer
  std::vector<std::uint32_t> corruptAddresses;      // read back with their bits inverted
  std::optional<std::uint64_t> vanishAfterReports;  // device disappears after this many reports
  std::optional<std::uint64_t> vanishOnReport;      // device disappears as this report arrives, not acting on it
  std::uint8_t shortGetData = 0;                    // GET_DATA answers carry this many bytes fewer
  bool unsolicited = false;                         // stray input report at session start and ahead of query answers
  std::optional<std::size_t> answerLength;          // answers truncated or zero-padded to this length
  // Reports of its own, of this length (byte 0 the stray report's code, the rest 0), sent
  // from the moment a host connects, beside the answers: floodCount of them (nullopt: without
  // end), one every floodInterval (0: as fast as the host takes them).
  std::optional<std::size_t> floodLength;
  std::optional<std::uint64_t> floodCount;
  std::chrono::milliseconds floodInterval{0};
  std::optional<std::uint64_t> answerTwiceTo;  // the answer to this report (from 1) goes out twice
  std::optional<LateAnswer> lateAnswer;
  // Listed in the query answer after the real regions, but held nowhere: a device that
  // reports a layout it does not have. Any 32-bit address and size.
  std::vector<RegionLayout> phantomRegions;
};

struct Options {
  std::string name;
  std::filesystem::path dir;  // empty: the default directory (see resolveDeviceDir)

  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t versionNumber = 1;
  std::string manufacturer = "Trovak";
  std::string product = "Trovak Bootloader";
  std::optional<std::string> serialNumber = std::string{};  // nullopt: the device has no serial

  std::uint8_t bytesPerPacket = 56;
  std::uint8_t family = 1;
  std::vector<RegionLayout> regions = defaultRegions();
  std::optional<std::uint8_t> initialFill;  // nullopt: the "old firmware" pattern

  std::chrono::milliseconds eraseTime{0};
  bool pace = false;

  std::filesystem::path trafficFile;  // empty: no traffic log
  std::filesystem::path memoryFile;   // empty: no memory dump

  Faults faults;
};

struct ParsedCommandLine {
  bool helpRequested = false;
  Options options;
};

// Parses the arguments after the program name. Never exits and never throws for bad
// input: every problem comes back as an Error naming the option.
Result<ParsedCommandLine> parseCommandLine(std::span<const std::string_view> args);

// Checks what the command line checks, for options filled in by hand.
std::optional<Error> validateOptions(const Options& options);

std::string_view usageText();

using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The folder in which devices appear: the given one, else $UPDATER_VIRTUAL_HID_DIR, else
// $XDG_RUNTIME_DIR/trovak-hid, else /tmp/trovak-hid-<uid>. The host side looks in the
// same places in the same order.
std::filesystem::path resolveDeviceDir(const std::filesystem::path& given,
                                       const EnvironmentLookup& environment, unsigned uid);
std::filesystem::path resolveDeviceDir(const std::filesystem::path& given);

}  // namespace devsim
