#include "devsim/options.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>

namespace devsim {

namespace {

// Region memory is held in full; this keeps a typo in a size from eating the machine.
constexpr std::uint64_t kMaxRegionSize = 16u * 1024u * 1024u;
constexpr std::size_t kMaxAnswerLength = 4096;
constexpr std::uint64_t kMaxEraseMilliseconds = 10u * 60u * 1000u;
constexpr std::size_t kMaxNameLength = 64;
constexpr std::string_view kNameRule =
    "is not a device name (letters, digits, '.', '_', '-'; not starting with '.'; at most 64)";

Error invalid(std::string_view option, std::string_view text, std::string_view why) {
  return Error{ErrorCode::InvalidValue,
               std::string(option) + ": \"" + std::string(text) + "\" " + std::string(why)};
}

// Decimal, or hexadecimal after 0x. No sign: every number here is a count, an id or a
// bit pattern.
std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  const auto* end = text.data() + text.size();
  auto [stop, status] = std::from_chars(text.data(), end, value, base);
  if (status != std::errc{} || stop != end) return std::nullopt;
  return value;
}

Result<std::uint64_t> parseNumber(std::string_view option, std::string_view text,
                                  std::uint64_t max) {
  auto value = parseUnsigned(text);
  if (!value) return invalid(option, text, "is not a number (decimal or 0x hex)");
  if (*value > max) {
    return invalid(option, text, "is out of range (0 to " + std::to_string(max) + ")");
  }
  return *value;
}

Result<RegionLayout> parseRegion(std::string_view option, std::string_view text) {
  auto firstColon = text.find(':');
  auto secondColon = firstColon == std::string_view::npos ? firstColon : text.find(':', firstColon + 1);
  if (secondColon == std::string_view::npos || text.find(':', secondColon + 1) != std::string_view::npos) {
    return invalid(option, text, "is not TYPE:ADDRESS:SIZE");
  }
  auto type = parseNumber(option, text.substr(0, firstColon), 0xFF);
  if (!type) return type.error();
  auto address = parseNumber(option, text.substr(firstColon + 1, secondColon - firstColon - 1), 0xFFFFFFFF);
  if (!address) return address.error();
  auto size = parseNumber(option, text.substr(secondColon + 1), 0xFFFFFFFF);
  if (!size) return size.error();
  return RegionLayout{static_cast<std::uint8_t>(type.value()), static_cast<std::uint32_t>(address.value()),
                    static_cast<std::uint32_t>(size.value())};
}

Result<LateAnswer> parseLateAnswer(std::string_view option, std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return invalid(option, text, "is not REPORT:MILLISECONDS");
  auto report = parseNumber(option, text.substr(0, colon), 0xFFFFFFFF);
  if (!report) return report.error();
  auto delay = parseNumber(option, text.substr(colon + 1), kMaxEraseMilliseconds);
  if (!delay) return delay.error();
  return LateAnswer{report.value(), std::chrono::milliseconds(delay.value())};
}

bool isSingleLine(std::string_view text) {
  return text.find_first_of("\r\n") == std::string_view::npos;
}

bool isValidName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength || name.front() == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
  });
}

std::optional<Error> checkRegions(const std::vector<RegionLayout>& regions, std::size_t phantoms) {
  if (regions.size() + phantoms > kMaxRegions) {
    return Error{ErrorCode::InvalidValue, "--region: at most " + std::to_string(kMaxRegions) +
                                              " regions fit into a query answer, " +
                                              std::to_string(regions.size() + phantoms) + " given"};
  }
  for (std::size_t i = 0; i < regions.size(); ++i) {
    const auto& region = regions[i];
    if (region.size > kMaxRegionSize) {
      return Error{ErrorCode::InvalidValue, "--region " + std::to_string(i + 1) + ": size " +
                                                std::to_string(region.size) + " is larger than " +
                                                std::to_string(kMaxRegionSize)};
    }
    if (std::uint64_t{region.address} + region.size > 0x1'0000'0000u) {
      return Error{ErrorCode::InvalidValue,
                   "--region " + std::to_string(i + 1) + ": runs past the end of the 32-bit address space"};
    }
    for (std::size_t j = 0; j < i; ++j) {
      const auto& other = regions[j];
      bool overlap = region.size != 0 && other.size != 0 &&
                     std::uint64_t{region.address} < std::uint64_t{other.address} + other.size &&
                     std::uint64_t{other.address} < std::uint64_t{region.address} + region.size;
      if (overlap) {
        return Error{ErrorCode::InvalidValue, "--region " + std::to_string(i + 1) + " overlaps region " +
                                                  std::to_string(j + 1)};
      }
    }
  }
  return std::nullopt;
}

enum class Kind { Flag, Value, RepeatableValue };

struct OptionParser {
  Kind kind;
  // Flags get an empty value. Returns the problem with the value, if any.
  std::function<std::optional<Error>(std::string_view option, std::string_view value, ParsedCommandLine&)>
      apply;
};

using Setter = std::function<void(Options&, std::uint64_t)>;

OptionParser number(std::uint64_t max, Setter set) {
  return {Kind::Value, [max, set](std::string_view option, std::string_view value, ParsedCommandLine& out)
                           -> std::optional<Error> {
            auto parsed = parseNumber(option, value, max);
            if (!parsed) return parsed.error();
            set(out.options, parsed.value());
            return std::nullopt;
          }};
}

// Text is checked with the rest by validateOptions, which in-process users call too.
OptionParser text(std::function<void(Options&, std::string)> set) {
  return {Kind::Value, [set](std::string_view, std::string_view value, ParsedCommandLine& out)
                           -> std::optional<Error> {
            set(out.options, std::string(value));
            return std::nullopt;
          }};
}

OptionParser path(std::filesystem::path Options::*field) {
  return {Kind::Value, [field](std::string_view option, std::string_view value, ParsedCommandLine& out)
                           -> std::optional<Error> {
            if (value.empty()) return invalid(option, value, "is not a file name");
            out.options.*field = std::filesystem::path(value);
            return std::nullopt;
          }};
}

OptionParser region(std::function<std::vector<RegionLayout>&(Options&)> list) {
  return {Kind::RepeatableValue, [list](std::string_view option, std::string_view value, ParsedCommandLine& out)
                                     -> std::optional<Error> {
            auto parsed = parseRegion(option, value);
            if (!parsed) return parsed.error();
            list(out.options).push_back(parsed.value());
            return std::nullopt;
          }};
}

OptionParser flag(std::function<void(ParsedCommandLine&)> set) {
  return {Kind::Flag, [set](std::string_view, std::string_view, ParsedCommandLine& out) -> std::optional<Error> {
            set(out);
            return std::nullopt;
          }};
}

const std::map<std::string_view, OptionParser>& optionTable() {
  using std::uint8_t;
  static const std::map<std::string_view, OptionParser> table = {
      {"--help", flag([](ParsedCommandLine& out) { out.helpRequested = true; })},
      {"--name", text([](Options& o, std::string t) { o.name = std::move(t); })},
      {"--dir", path(&Options::dir)},
      {"--vid", number(0xFFFF, [](Options& o, auto v) { o.vendorId = static_cast<std::uint16_t>(v); })},
      {"--pid", number(0xFFFF, [](Options& o, auto v) { o.productId = static_cast<std::uint16_t>(v); })},
      {"--version", number(0xFFFF, [](Options& o, auto v) { o.versionNumber = static_cast<std::uint16_t>(v); })},
      {"--manufacturer", text([](Options& o, std::string t) { o.manufacturer = std::move(t); })},
      {"--product", text([](Options& o, std::string t) { o.product = std::move(t); })},
      {"--serial", text([](Options& o, std::string t) { o.serialNumber = std::move(t); })},
      {"--no-serial", flag([](ParsedCommandLine& out) { out.options.serialNumber.reset(); })},
      {"--bytes-per-packet", number(0xFF, [](Options& o, auto v) { o.bytesPerPacket = static_cast<uint8_t>(v); })},
      {"--family", number(0xFF, [](Options& o, auto v) { o.family = static_cast<uint8_t>(v); })},
      {"--region", region([](Options& o) -> std::vector<RegionLayout>& { return o.regions; })},
      {"--initial-fill", number(0xFF, [](Options& o, auto v) { o.initialFill = static_cast<uint8_t>(v); })},
      {"--erase-ms", number(kMaxEraseMilliseconds,
                            [](Options& o, auto v) { o.eraseTime = std::chrono::milliseconds(v); })},
      {"--pace", flag([](ParsedCommandLine& out) { out.options.pace = true; })},
      {"--traffic", path(&Options::trafficFile)},
      {"--memory", path(&Options::memoryFile)},
      {"--never-answer", flag([](ParsedCommandLine& out) { out.options.faults.neverAnswer = true; })},
      {"--wrong-code", number(0xFF, [](Options& o, auto v) { o.faults.wrongCode = static_cast<uint8_t>(v); })},
      {"--corrupt", {Kind::RepeatableValue, number(0xFFFFFFFF, [](Options& o, auto v) {
                                              o.faults.corruptAddresses.push_back(static_cast<std::uint32_t>(v));
                                            }).apply}},
      {"--vanish-after", number(0xFFFFFFFF, [](Options& o, auto v) { o.faults.vanishAfterReports = v; })},
      {"--vanish-on", number(0xFFFFFFFF, [](Options& o, auto v) { o.faults.vanishOnReport = v; })},
      {"--short-get-data",
       number(0xFF, [](Options& o, auto v) { o.faults.shortGetData = static_cast<uint8_t>(v); })},
      {"--unsolicited", flag([](ParsedCommandLine& out) { out.options.faults.unsolicited = true; })},
      {"--report-length", number(kMaxAnswerLength, [](Options& o, auto v) {
                             o.faults.answerLength = static_cast<std::size_t>(v);
                           })},
      {"--phantom-region",
       region([](Options& o) -> std::vector<RegionLayout>& { return o.faults.phantomRegions; })},
      {"--flood", number(kMaxAnswerLength, [](Options& o, auto v) { o.faults.floodLength = static_cast<std::size_t>(v); })},
      {"--flood-count", number(0xFFFFFFFF, [](Options& o, auto v) { o.faults.floodCount = v; })},
      {"--flood-interval", number(kMaxEraseMilliseconds,
                                  [](Options& o, auto v) { o.faults.floodInterval = std::chrono::milliseconds(v); })},
      {"--answer-twice", number(0xFFFFFFFF, [](Options& o, auto v) { o.faults.answerTwiceTo = v; })},
      {"--answer-late", {Kind::Value, [](std::string_view option, std::string_view value, ParsedCommandLine& out)
                                          -> std::optional<Error> {
                           auto parsed = parseLateAnswer(option, value);
                           if (!parsed) return parsed.error();
                           out.options.faults.lateAnswer = parsed.value();
                           return std::nullopt;
                         }}},
  };
  return table;
}

}  // namespace

std::vector<RegionLayout> defaultRegions() {
  return {RegionLayout{0, 0x800, 0x1000}, RegionLayout{1, 0x10000, 64}};
}

Result<ParsedCommandLine> parseCommandLine(std::span<const std::string_view> args) {
  ParsedCommandLine parsed;
  parsed.options.regions.clear();  // the defaults apply only when no --region is given
  std::set<std::string_view> seen;
  const auto& table = optionTable();

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::optional<std::string_view> inlineValue;
    if (auto equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
      inlineValue = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    auto entry = table.find(arg);
    if (entry == table.end()) {
      return Error{ErrorCode::UnknownOption, "unknown option \"" + std::string(args[i]) + "\""};
    }
    const OptionParser& parser = entry->second;
    if (parser.kind != Kind::RepeatableValue && !seen.insert(entry->first).second) {
      return Error{ErrorCode::ConflictingOptions, std::string(arg) + " is given more than once"};
    }
    std::string_view value;
    if (parser.kind == Kind::Flag) {
      if (inlineValue) return Error{ErrorCode::InvalidValue, std::string(arg) + " takes no value"};
    } else if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return Error{ErrorCode::MissingValue, std::string(arg) + " needs a value"};
    }
    if (auto problem = parser.apply(arg, value, parsed)) return *problem;
  }

  if (parsed.helpRequested) return parsed;
  if (seen.contains("--serial") && seen.contains("--no-serial")) {
    return Error{ErrorCode::ConflictingOptions, "--serial and --no-serial exclude each other"};
  }
  for (std::string_view required : {"--name", "--vid", "--pid"}) {
    if (!seen.contains(required)) {
      return Error{ErrorCode::MissingOption, std::string(required) + " is required"};
    }
  }
  if (parsed.options.regions.empty()) parsed.options.regions = defaultRegions();
  if (auto problem = validateOptions(parsed.options)) return *problem;
  return parsed;
}

std::optional<Error> validateOptions(const Options& options) {
  if (!isValidName(options.name)) {
    return invalid("--name", options.name, kNameRule);
  }
  const std::pair<std::string_view, std::string_view> texts[] = {
      {"--manufacturer", options.manufacturer},
      {"--product", options.product},
      {"--serial", options.serialNumber ? std::string_view(*options.serialNumber) : ""},
  };
  for (const auto& [option, text] : texts) {
    if (!isSingleLine(text)) return invalid(option, text, "must be one line of text");
  }
  if (options.faults.answerLength && *options.faults.answerLength > kMaxAnswerLength) {
    return Error{ErrorCode::InvalidValue, "--report-length: at most " + std::to_string(kMaxAnswerLength)};
  }
  if (options.faults.vanishAfterReports && *options.faults.vanishAfterReports == 0) {
    return Error{ErrorCode::InvalidValue, "--vanish-after: must be at least 1 (a device that vanishes at once "
                                          "is never seen)"};
  }
  if (options.faults.vanishOnReport && *options.faults.vanishOnReport == 0) {
    return Error{ErrorCode::InvalidValue, "--vanish-on: must be at least 1 (the reports are counted from 1)"};
  }
  if (options.faults.floodLength && *options.faults.floodLength > kMaxAnswerLength) {
    return Error{ErrorCode::InvalidValue, "--flood: at most " + std::to_string(kMaxAnswerLength)};
  }
  if (!options.faults.floodLength && (options.faults.floodCount || options.faults.floodInterval.count() != 0)) {
    return Error{ErrorCode::InvalidValue, "--flood-count and --flood-interval need --flood"};
  }
  if (options.faults.answerTwiceTo && *options.faults.answerTwiceTo == 0) {
    return Error{ErrorCode::InvalidValue, "--answer-twice: must be at least 1 (the reports are counted from 1)"};
  }
  if (options.faults.lateAnswer && options.faults.lateAnswer->report == 0) {
    return Error{ErrorCode::InvalidValue, "--answer-late: must be at least 1 (the reports are counted from 1)"};
  }
  return checkRegions(options.regions, options.faults.phantomRegions.size());
}

std::string_view usageText() {
  return R"(usage: devsim --name NAME [--dir DIR] --vid N --pid N [--version N]
              [--manufacturer TEXT] [--product TEXT] [--serial TEXT | --no-serial]
              [--bytes-per-packet N] [--family N] [--region TYPE:ADDRESS:SIZE]...
              [--initial-fill N] [--erase-ms N] [--pace] [--traffic FILE] [--memory FILE]
              [--never-answer] [--wrong-code N] [--corrupt ADDRESS]... [--vanish-after N]
              [--vanish-on N] [--short-get-data K] [--unsolicited] [--report-length N]
              [--phantom-region TYPE:ADDRESS:SIZE]...
              [--flood LENGTH [--flood-count N] [--flood-interval MS]]
              [--answer-twice N] [--answer-late N:MS]

A simulated bootloader device: appears as a virtual HID device in DIR (default
$UPDATER_VIRTUAL_HID_DIR, else $XDG_RUNTIME_DIR/trovak-hid, else /tmp/trovak-hid-<uid>)
and prints "READY <socket path>" once a host can find it. Numbers take decimal or 0x hex.
Defaults: --bytes-per-packet 56, --family 1, regions 0:0x800:0x1000 and 1:0x10000:64
(up to 6), memory filled with an "old firmware" pattern. The family sets the bytes per
address: 2 bytes for family 2, 1 byte for every other family; region addresses and sizes
count addresses, not bytes. Erasing sets every region to 0xFF except those of type 3, which
keep their bytes; programming only clears bits (a byte becomes old AND new), as in flash.
SIGTERM or SIGINT make the device disappear. --vanish-after N: it disappears once it has
handled report N; --vanish-on N: as report N arrives, which it neither acts on nor answers.
--phantom-region: listed in the query answer after the real regions but held nowhere
(any 32-bit address and size; counts toward the 6).
--flood LENGTH: from connection on, reports of its own of LENGTH bytes (code 0x55), as
fast as the host takes them or one every --flood-interval MS; --flood-count N: N of them.
--answer-twice N: the answer to report N goes out twice; --answer-late N:MS: MS late.
--unsolicited: a report of its own (code 0x55) at connection and 50 ms ahead of the
answer to every query.
)";
}

std::filesystem::path resolveDeviceDir(const std::filesystem::path& given, const EnvironmentLookup& environment,
                                       unsigned uid) {
  if (!given.empty()) return given;
  if (auto dir = environment("UPDATER_VIRTUAL_HID_DIR"); dir && !dir->empty()) return *dir;
  if (auto runtime = environment("XDG_RUNTIME_DIR"); runtime && !runtime->empty()) {
    return std::filesystem::path(*runtime) / "trovak-hid";
  }
  return std::filesystem::path("/tmp") / ("trovak-hid-" + std::to_string(uid));
}

std::filesystem::path resolveDeviceDir(const std::filesystem::path& given) {
  return resolveDeviceDir(
      given,
      [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
      },
      static_cast<unsigned>(::getuid()));
}

}  // namespace devsim
