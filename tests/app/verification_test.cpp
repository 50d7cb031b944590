// The verification step: the GET_DATA requests the device receives, how its answers are
// compared, what a difference shows, and reports that are not the answer asked for.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "command_packets.h"
#include "hid.h"
#include "update_run.h"
#include "user_messages.h"

namespace app_test {
namespace {

using namespace std::chrono_literals;

const std::string kVerifyFailed = "Verify failed. Please try again.";

std::string FailedAt(const std::string& address) { return "Verification failed on address " + address; }

struct VerifyCase {
  std::string name;
  std::vector<Region> regions;
  uint8_t bytesPerPacket;
  uint8_t family;
  std::function<void(devsim::Options&)> device;
  std::vector<Span> requests;
  std::vector<std::string> messages;

  friend void PrintTo(const VerifyCase& c, std::ostream* out) { *out << c.name; }
};

class Verification : public UpdateTest, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(Verification, ReadsBackEveryWrittenRegion) {
  const VerifyCase& c = GetParam();
  const Firmware firmware = FirmwareFor(c.regions, c.family == 2 ? 2 : 1);
  devsim::Options options = Device(c.regions, c.bytesPerPacket, c.family);
  if (c.device) c.device(options);
  EXPECT_EQ(Update(options, firmware.intelHex), 0);

  EXPECT_EQ(frontEnd.messages, c.messages);
  EXPECT_EQ(Spans(Received(HID::GET_DATA)), c.requests);
  if (c.messages.back() != kInstalled) {
    EXPECT_EQ(steps.rbegin()->first, 7) << "a failed verification quits at once";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Verification,
    ::testing::Values(
        VerifyCase{"ThreeRequestsForARegion", {{0, 0x1000, 0x80}}, 56, 1, nullptr,
                   {{0x1000, 56}, {0x1038, 56}, {0x1070, 16}}, {kInstalled}},
        VerifyCase{"TwoBytesPerAddress", {{0, 0x1000, 8}}, 56, 2, nullptr, {{0x1000, 16}}, {kInstalled}},
        VerifyCase{"ARegionShorterThanAStep", {{0, 0x1000, 10}}, 56, 1, nullptr, {{0x1000, 10}}, {kInstalled}},
        VerifyCase{"OnlyWrittenRegions", {{3, 0x800, 16}, {0, 0x900, 0}, {1, 0x1000, 10}}, 56, 1, nullptr,
                   {{0x1000, 10}}, {kInstalled}},
        VerifyCase{"FullDataFieldsAtTwoBytesPerAddress", {{0, 0x1000, 60}}, 58, 2, nullptr,
                   {{0x1000, 58}, {0x101D, 58}, {0x103A, 4}}, {kInstalled}},
        // One box for the first difference; the later region is read all the same.
        VerifyCase{"DifferencesInTwoRegions",
                   {{0, 0x800, 0x80}, {1, 0x10000, 64}},
                   56,
                   1,
                   [](devsim::Options& o) { o.faults.corruptAddresses = {0x805, 0x10003}; },
                   {{0x800, 56}, {0x838, 56}, {0x870, 16}, {0x10000, 56}, {0x10038, 8}},
                   {FailedAt("000805"), kVerifyFailed}},
        VerifyCase{"TheSixthByteOfAnAnswer", {{0, 0x1000, 0x80}}, 56, 1,
                   [](devsim::Options& o) { o.faults.corruptAddresses = {0x1005}; },
                   {{0x1000, 56}, {0x1038, 56}, {0x1070, 16}}, {FailedAt("001005"), kVerifyFailed}},
        VerifyCase{"Above0x80000000", {{0, 0x80000000, 0x80}}, 56, 1,
                   [](devsim::Options& o) { o.faults.corruptAddresses = {0x80000041}; },
                   {{0x80000000, 56}, {0x80000038, 56}, {0x80000070, 16}}, {FailedAt("80000041"), kVerifyFailed}},
        // A corrupt address of two bytes: index 2 shows Error1 or Error2, index 3 is ignored.
        VerifyCase{"Error2AndError1", {{0, 0, 28}, {1, 0x1400, 28}}, 56, 2,
                   [](devsim::Options& o) { o.faults.corruptAddresses = {1, 0x1401}; }, {{0, 56}, {0x1400, 56}},
                   {"Error2", "Error1", kInstalled}},
        VerifyCase{"TwoBytesPerAddressNamesTheByte", {{0, 0x1000, 28}}, 56, 2,
                   [](devsim::Options& o) { o.faults.corruptAddresses = {0x1001}; }, {{0x1000, 56}},
                   {FailedAt("001002"), kVerifyFailed}},
        // Bytes that no answer brought back were never compared: the region is not verified.
        VerifyCase{"AnswersWithoutData", {{0, 0x1000, 0x80}}, 56, 1,
                   [](devsim::Options& o) { o.faults.shortGetData = 56; },
                   {{0x1000, 56}, {0x1038, 56}, {0x1070, 16}}, {FailedAt("001000"), kVerifyFailed}},
        VerifyCase{"AnswersShortOfAByte", {{0, 0x1000, 0x80}}, 56, 1,
                   [](devsim::Options& o) { o.faults.shortGetData = 1; },
                   {{0x1000, 56}, {0x1038, 56}, {0x1070, 16}}, {FailedAt("001037"), kVerifyFailed}}),
    [](const auto& info) { return info.param.name; });

class VerificationRun : public UpdateTest {};

TEST_F(VerificationRun, TheBarRunsFromOneHundredByTheRegionsShareAlreadyAskedFor) {
  const Firmware firmware = FirmwareFor({{0, 0x1000, 0x80}});
  EXPECT_EQ(Update(Device(firmware.regions), firmware.intelHex), 0);
  std::vector<int32_t> bars = BarRedraws();
  bars.erase(bars.begin(), std::find_if(bars.begin(), bars.end(), [](int32_t value) { return value >= 100; }));
  bars.erase(std::unique(bars.begin(), bars.end()), bars.end());
  // 625 only if the last answer was not there at the first read after its request.
  ASSERT_GE(bars.size(), 2u);
  EXPECT_EQ(std::vector<int32_t>(bars.begin(), bars.begin() + 2), (std::vector<int32_t>{275, 450}));
  EXPECT_LE(bars.size(), 3u);
  if (bars.size() == 3) {
    EXPECT_EQ(bars[2], 625);
  }
  EXPECT_EQ(steps[8].bar, bars.back());
}

TEST_F(VerificationRun, AnAnswerThatDoesNotComeIsGivenUpAfterFourSeconds) {
  const Firmware firmware = FirmwareFor({{0, 0x800, 112}});
  devsim::Options options = Device(firmware.regions);
  // Query, erase, query, two packets, complete, and the first request, which is answered.
  options.faults.vanishAfterReports = 7;
  EXPECT_EQ(Update(options, firmware.intelHex), 0);
  EXPECT_EQ(frontEnd.messages, std::vector<std::string>{kNoAnswer});
  EXPECT_EQ(steps.rbegin()->first, 7);
  const fw::Milliseconds waited = steps[7].at - steps[6].at;
  // The timer's 100 ms, the first request's answer, and four seconds for the second.
  EXPECT_GE(waited, 4100ms);
  EXPECT_LT(waited, 5s);
}

// Reports put into the device object's queue before the step reads: the step takes the
// newest first and compares each where its own address puts it, whatever was asked.
class QueuedReports : public StepTest {
 protected:
  // A region whose image holds a pattern, as the loader would have filled it.
  void Layout(const Region& region, int32_t bytesPerAddress) {
    Regions({region}, bytesPerAddress);
    const fw::Ref<fw::MemoryBlock>& image = HID::MemoryRegions.at(0)->data;
    for (size_t k = 0; k < size_t(region.size) * size_t(bytesPerAddress); ++k) {
      image->SetUInt8Value(k, static_cast<uint8_t>(k * 7 + 3));
    }
    HID::DeviceMac = fw::MakeRef<MyOrvane>();
  }

  // True when the step ended by arming the next one.
  bool Verify(const std::vector<std::vector<uint8_t>>& oldestFirst) {
    for (const std::vector<uint8_t>& report : oldestFirst) {
      HID::DeviceMac->datas.push_back(
          fw::MakeRef<fw::MemoryBlock>(std::string_view(reinterpret_cast<const char*>(report.data()), report.size())));
    }
    Window().Work5();
    EXPECT_TRUE(HID::DeviceMac->datas.empty()) << "one report per request";
    return Window().Timer1->Mode() == fw::Timer::kSingle;
  }
};

// Image bytes from position `from` on (negative: before the region, read as 0); past the
// region's bytes come the image's spare bytes.
std::vector<uint8_t> ImageBytes(int64_t from, size_t count, const std::set<size_t>& flipped = {}) {
  const fw::MemoryBlock& image = *HID::MemoryRegions.at(0)->data;
  std::vector<uint8_t> bytes;
  for (size_t j = 0; j < count; ++j) {
    const int64_t at = from + static_cast<int64_t>(j);
    uint8_t byte = at >= 0 && static_cast<size_t>(at) < image.Size() ? image.UInt8Value(static_cast<size_t>(at)) : 0;
    if (flipped.contains(j)) byte = static_cast<uint8_t>(~byte);
    bytes.push_back(byte);
  }
  return bytes;
}

// A GET_DATA answer as a device sends it: the data at the end of a 64-byte report, cut to
// `length` bytes.
std::vector<uint8_t> Answer(uint32_t address, const std::vector<uint8_t>& data, size_t length = 64) {
  std::vector<uint8_t> report(64, 0);
  for (size_t j = 0; j < data.size(); ++j) report[64 - data.size() + j] = data[j];
  report[0] = 7;
  for (size_t i = 0; i < 4; ++i) report[1 + i] = static_cast<uint8_t>(address >> (8 * i));
  report[5] = static_cast<uint8_t>(data.size());
  report.resize(length);
  return report;
}

using Reports = std::vector<std::vector<uint8_t>>;

struct QueuedCase {
  std::string name;
  Region region;
  int32_t bytesPerAddress;
  std::function<Reports()> reports;  // oldest first
  std::vector<std::string> messages;
  bool passes;

  friend void PrintTo(const QueuedCase& c, std::ostream* out) { *out << c.name; }
};

class QueuedReport : public QueuedReports, public ::testing::WithParamInterface<QueuedCase> {};

TEST_P(QueuedReport, IsComparedWhereItsAddressPutsIt) {
  const QueuedCase& c = GetParam();
  Layout(c.region, c.bytesPerAddress);
  EXPECT_EQ(Verify(c.reports()), c.passes);
  std::vector<std::string> expected = c.messages;
  if (!c.passes) expected.push_back(kVerifyFailed);
  EXPECT_EQ(messages, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, QueuedReport,
    ::testing::Values(
        QueuedCase{"TheNewerFirst",
                   {0, 0x1000, 112},
                   1,
                   [] {
                     return Reports{Answer(0x1000, ImageBytes(0, 56, {5})), Answer(0x1038, ImageBytes(56, 56, {2}))};
                   },
                   {FailedAt("00103A")},
                   false},
        QueuedCase{"NoData", {0, 0x1000, 56}, 1, [] { return Reports{Answer(0x1000, {})}; }, {FailedAt("001000")},
                   false},
        QueuedCase{"TooShortForData",
                   {0, 0x1000, 112},
                   1,
                   [] { return Reports{{7, 0, 0x10, 0, 0}, {}}; },
                   {FailedAt("001000")},
                   false},
        QueuedCase{"AnotherRegions", {0, 0x1000, 56}, 1, [] { return Reports{Answer(0x2000, ImageBytes(0, 56))}; },
                   {FailedAt("002000")}, false},
        QueuedCase{"StartingBeforeTheRegion", {0, 0x1000, 56}, 1,
                   [] { return Reports{Answer(0x0FFE, ImageBytes(-2, 56))}; }, {FailedAt("000FFE")}, false},
        // The image's spare bytes are not the region's: the bytes past its end differ.
        QueuedCase{"RunningPastTheRegion", {0, 0x1000, 10}, 1,
                   [] { return Reports{Answer(0x1000, ImageBytes(0, 12))}; }, {FailedAt("00100A")}, false},
        QueuedCase{"CountOver58", {0, 0x1000, 56}, 1, [] { return Reports{Answer(0x1000, ImageBytes(0, 60))}; },
                   {FailedAt("001000")}, false},
        QueuedCase{"SixtyThreeBytes", {0, 0x1000, 56}, 1,
                   [] { return Reports{Answer(0x1000, ImageBytes(0, 56), 63)}; }, {FailedAt("001037")}, false},
        QueuedCase{"EveryFourthByteIgnored", {0, 0x1000, 28}, 2,
                   [] { return Reports{Answer(0x1000, ImageBytes(0, 56, {3, 7, 55}))}; }, {}, true},
        QueuedCase{"Error1ForEachByte", {0, 0x1400, 28}, 2,
                   [] { return Reports{Answer(0x1400, ImageBytes(0, 56, {2, 3, 6}))}; }, {"Error1", "Error1"},
                   true},
        QueuedCase{"Error2", {0, 0, 28}, 2, [] { return Reports{Answer(0, ImageBytes(0, 56, {2}))}; }, {"Error2"},
                   true},
        QueuedCase{"ThirdByteAtTwoBytesPerAddress", {0, 0x1000, 28}, 2,
                   [] { return Reports{Answer(0x1000, ImageBytes(0, 56, {2}))}; }, {FailedAt("001002")}, false},
        // Bytes outside the image follow the same rules as a mismatch.
        QueuedCase{"OutsideTheImageAtTheError1Address", {0, 0x1400, 28}, 2,
                   [] { return Reports{Answer(0x1400, ImageBytes(0, 58))}; }, {"Error1", "Error1"}, true}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace app_test
