#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "devsim/options.h"

namespace devsim {
namespace {

Result<ParsedCommandLine> parse(std::vector<std::string_view> args) { return parseCommandLine(args); }

const std::vector<std::string_view> kRequired = {"--name", "dev", "--vid", "0x1234", "--pid", "22136"};

std::vector<std::string_view> withRequired(std::vector<std::string_view> extra) {
  std::vector<std::string_view> args = kRequired;
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

TEST(DevsimOptions, RequiredOnlyGivesDefaults) {
  auto parsed = parse(kRequired);
  ASSERT_TRUE(parsed) << parsed.error().message;
  const Options& options = parsed.value().options;
  EXPECT_EQ(options.name, "dev");
  EXPECT_EQ(options.vendorId, 0x1234);
  EXPECT_EQ(options.productId, 22136);
  EXPECT_EQ(options.bytesPerPacket, 56);
  EXPECT_EQ(options.family, 1);
  EXPECT_EQ(options.regions, defaultRegions());
  EXPECT_EQ(options.serialNumber, std::optional<std::string>(""));
  EXPECT_FALSE(options.initialFill);
  EXPECT_TRUE(options.dir.empty());
}

TEST(DevsimOptions, EveryOptionLandsInItsField) {
  auto parsed = parse(withRequired({"--dir", "/tmp/x", "--version", "0x0102", "--manufacturer", "Maker",
                                    "--product", "Thing", "--serial", "S/N 1", "--bytes-per-packet", "59",
                                    "--family", "255", "--region", "3:0x1000:16", "--region=0:0:0x10",
                                    "--initial-fill", "0xA5", "--erase-ms", "250", "--pace", "--traffic", "t.log",
                                    "--memory", "m.txt", "--never-answer", "--wrong-code", "3", "--corrupt",
                                    "0x1004", "--corrupt", "0x1005", "--vanish-after", "7", "--short-get-data",
                                    "2", "--unsolicited", "--report-length", "0", "--vanish-on", "9",
                                    "--phantom-region", "1:0x90000000:0xFFFFFFFF", "--flood", "63",
                                    "--flood-count", "5", "--flood-interval", "8", "--answer-twice", "3",
                                    "--answer-late", "4:1500"}));
  ASSERT_TRUE(parsed) << parsed.error().message;
  const Options& o = parsed.value().options;
  EXPECT_EQ(o.dir, "/tmp/x");
  EXPECT_EQ(o.versionNumber, 0x0102);
  EXPECT_EQ(o.manufacturer, "Maker");
  EXPECT_EQ(o.product, "Thing");
  EXPECT_EQ(o.serialNumber, std::optional<std::string>("S/N 1"));
  EXPECT_EQ(o.bytesPerPacket, 59);
  EXPECT_EQ(o.family, 255);
  EXPECT_EQ(o.regions, (std::vector<RegionLayout>{{3, 0x1000, 16}, {0, 0, 16}}));
  EXPECT_EQ(o.initialFill, std::optional<std::uint8_t>(0xA5));
  EXPECT_EQ(o.eraseTime, std::chrono::milliseconds(250));
  EXPECT_TRUE(o.pace);
  EXPECT_EQ(o.trafficFile, "t.log");
  EXPECT_EQ(o.memoryFile, "m.txt");
  EXPECT_TRUE(o.faults.neverAnswer);
  EXPECT_EQ(o.faults.wrongCode, std::optional<std::uint8_t>(3));
  EXPECT_EQ(o.faults.corruptAddresses, (std::vector<std::uint32_t>{0x1004, 0x1005}));
  EXPECT_EQ(o.faults.vanishAfterReports, std::optional<std::uint64_t>(7));
  EXPECT_EQ(o.faults.shortGetData, 2);
  EXPECT_TRUE(o.faults.unsolicited);
  EXPECT_EQ(o.faults.answerLength, std::optional<std::size_t>(0));
  EXPECT_EQ(o.faults.vanishOnReport, std::optional<std::uint64_t>(9));
  EXPECT_EQ(o.faults.phantomRegions, (std::vector<RegionLayout>{{1, 0x90000000, 0xFFFFFFFF}}));
  EXPECT_EQ(o.faults.floodLength, std::optional<std::size_t>(63));
  EXPECT_EQ(o.faults.floodCount, std::optional<std::uint64_t>(5));
  EXPECT_EQ(o.faults.floodInterval, std::chrono::milliseconds(8));
  EXPECT_EQ(o.faults.answerTwiceTo, std::optional<std::uint64_t>(3));
  EXPECT_EQ(o.faults.lateAnswer, (std::optional<LateAnswer>(LateAnswer{4, std::chrono::milliseconds(1500)})));
}

TEST(DevsimOptions, NoSerialAndEdgePacketSizes) {
  auto parsed = parse(withRequired({"--no-serial", "--bytes-per-packet", "0", "--family", "0"}));
  ASSERT_TRUE(parsed) << parsed.error().message;
  EXPECT_FALSE(parsed.value().options.serialNumber);
  EXPECT_EQ(parsed.value().options.bytesPerPacket, 0);
  EXPECT_EQ(parsed.value().options.family, 0);
}

TEST(DevsimOptions, HelpNeedsNothingElse) {
  auto parsed = parse({"--help"});
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed.value().helpRequested);
}

struct BadCase {
  std::vector<std::string_view> args;
  ErrorCode code;
  std::string mentions;
};

TEST(DevsimOptions, BadCommandLinesGiveCodeAndWords) {
  const std::vector<BadCase> cases = {
      {withRequired({"--colour"}), ErrorCode::UnknownOption, "--colour"},
      {withRequired({"--family"}), ErrorCode::MissingValue, "--family needs a value"},
      {withRequired({"--family", "12z"}), ErrorCode::InvalidValue, "not a number"},
      {withRequired({"--family", "-1"}), ErrorCode::InvalidValue, "not a number"},
      {withRequired({"--family", "256"}), ErrorCode::InvalidValue, "out of range"},
      {withRequired({"--erase-ms", "0x"}), ErrorCode::InvalidValue, "not a number"},
      {{"--name", "dev", "--vid", "0x10000", "--pid", "1"}, ErrorCode::InvalidValue, "--vid"},
      {{"--name", "a/b", "--vid", "1", "--pid", "1"}, ErrorCode::InvalidValue, "device name"},
      {withRequired({"--region", "1:2"}), ErrorCode::InvalidValue, "TYPE:ADDRESS:SIZE"},
      {withRequired({"--region", "1:2:3:4"}), ErrorCode::InvalidValue, "TYPE:ADDRESS:SIZE"},
      {withRequired({"--region", "0:0x800:0x100", "--region", "1:0x8FF:2"}), ErrorCode::InvalidValue, "overlaps"},
      {withRequired({"--region", "0:0xFFFFFFFF:2"}), ErrorCode::InvalidValue, "address space"},
      {withRequired({"--region", "0:0:0x7FFFFFFF"}), ErrorCode::InvalidValue, "larger"},
      {withRequired({"--region", "0:0:1", "--region", "0:1:1", "--region", "0:2:1", "--region", "0:3:1",
                     "--region", "0:4:1", "--region", "0:5:1", "--region", "0:6:1"}),
       ErrorCode::InvalidValue, "at most 6"},
      {withRequired({"--serial", "x", "--no-serial"}), ErrorCode::ConflictingOptions, "exclude"},
      {withRequired({"--vid", "2"}), ErrorCode::ConflictingOptions, "more than once"},
      {withRequired({"--pace=1"}), ErrorCode::InvalidValue, "takes no value"},
      {withRequired({"--vanish-after", "0"}), ErrorCode::InvalidValue, "at least 1"},
      {withRequired({"--vanish-on", "0"}), ErrorCode::InvalidValue, "--vanish-on: must be at least 1"},
      {withRequired({"--phantom-region", "1:0x1000"}), ErrorCode::InvalidValue, "--phantom-region: \"1:0x1000\""},
      {withRequired({"--phantom-region", "1:0x1000:0x100000000"}), ErrorCode::InvalidValue, "out of range"},
      {withRequired({"--region", "0:0:1", "--region", "0:1:1", "--region", "0:2:1", "--region", "0:3:1",
                     "--region", "0:4:1", "--phantom-region", "0:5:1", "--phantom-region", "0:6:1"}),
       ErrorCode::InvalidValue, "at most 6"},
      {withRequired({"--report-length", "5000"}), ErrorCode::InvalidValue, "out of range"},
      {withRequired({"--flood", "5000"}), ErrorCode::InvalidValue, "out of range"},
      {withRequired({"--flood-count", "5"}), ErrorCode::InvalidValue, "need --flood"},
      {withRequired({"--answer-twice", "0"}), ErrorCode::InvalidValue, "--answer-twice: must be at least 1"},
      {withRequired({"--answer-late", "1500"}), ErrorCode::InvalidValue, "REPORT:MILLISECONDS"},
      {withRequired({"--answer-late", "0:10"}), ErrorCode::InvalidValue, "--answer-late: must be at least 1"},
      {{"--name", "dev", "--vid", "1"}, ErrorCode::MissingOption, "--pid is required"},
      {{}, ErrorCode::MissingOption, "--name is required"},
  };
  for (const BadCase& bad : cases) {
    auto parsed = parse(bad.args);
    ASSERT_FALSE(parsed) << "accepted: " << bad.mentions;
    EXPECT_EQ(parsed.error().code, bad.code) << parsed.error().message;
    EXPECT_NE(parsed.error().message.find(bad.mentions), std::string::npos) << parsed.error().message;
  }
}

// Options filled in by hand get the same checks, and each message names its own option.
TEST(DevsimOptions, TextMustBeOneLineWhereverTheOptionsComeFrom) {
  for (std::string_view option : {"--manufacturer", "--product", "--serial"}) {
    auto parsed = parse(withRequired({option, "two\nlines"}));
    ASSERT_FALSE(parsed) << option;
    EXPECT_EQ(parsed.error().code, ErrorCode::InvalidValue);
    EXPECT_EQ(parsed.error().message.rfind(std::string(option) + ": ", 0), 0u) << parsed.error().message;
  }
  Options options;
  options.name = "dev";
  EXPECT_FALSE(validateOptions(options));
  options.product = "carriage\rreturn";
  auto problem = validateOptions(options);
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->message.rfind("--product: ", 0), 0u) << problem->message;
  options.product = "one line";
  options.name = "";
  problem = validateOptions(options);
  ASSERT_TRUE(problem);
  EXPECT_NE(problem->message.find("device name"), std::string::npos) << problem->message;
}

TEST(DevsimOptions, DeviceDirPrecedence) {
  std::map<std::string, std::string> env;
  auto lookup = [&env](const char* name) -> std::optional<std::string> {
    auto found = env.find(name);
    return found == env.end() ? std::nullopt : std::optional(found->second);
  };
  EXPECT_EQ(resolveDeviceDir("", lookup, 1000), "/tmp/trovak-hid-1000");
  env["XDG_RUNTIME_DIR"] = "/run/user/1000";
  EXPECT_EQ(resolveDeviceDir("", lookup, 1000), "/run/user/1000/trovak-hid");
  env["UPDATER_VIRTUAL_HID_DIR"] = "/tmp/virtual";
  EXPECT_EQ(resolveDeviceDir("", lookup, 1000), "/tmp/virtual");
  EXPECT_EQ(resolveDeviceDir("/given", lookup, 1000), "/given");
}

}  // namespace
}  // namespace devsim
