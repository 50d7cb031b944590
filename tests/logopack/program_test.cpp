#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "files.h"
#include "hex_test_support.h"
#include "logopack/jpeg_codec.h"
#include "logopack/payload.h"
#include "logopack/picture.h"
#include "run_process.h"
#include "temp_dir.h"

namespace logopack {
namespace {

using test::kEndOfFile;
using test::Record;
using testsupport::RunProcess;
using testsupport::TempDir;
using testsupport::WriteFile;

testsupport::ProcessResult logopack(std::vector<std::string> args) {
  args.insert(args.begin(), LOGOPACK_BINARY);
  return RunProcess(args);
}

// Every line on standard error is the program's own: libjpeg's messages come only inside
// them.
void expectOnlyOwnMessages(const std::string& err) {
  std::size_t start = 0;
  for (std::size_t end; (end = err.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = err.substr(start, end - start);
    EXPECT_TRUE(line.starts_with("logopack: ") || line.starts_with("Try 'logopack --help'")) << line;
  }
  EXPECT_EQ(start, err.size()) << "unfinished line: " << err;
}

class LogopackProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir.path() / "fw.hex", Record(0x0800, 0x00, {0xC0, 0xFF, 0xEE}) + "\n" + kEndOfFile + "\n");
    WriteFile(dir.path() / "bad.hex", Record(0x0800, 0x00, {0x01}) + "\n" + ":0100000001FF\n" + kEndOfFile + "\n");
    WriteFile(dir.path() / "text.jpg", "not a picture");
  }
  std::string path(const std::string& name) const { return (dir.path() / name).string(); }
  std::vector<std::string> packArgs(const std::string& hex, const std::string& title = "Demo Update") const {
    return {"--hex", path(hex), "--version", "1.0", "--title", title, "--vid", "0x1234", "--pid", "22136",
            "--out", path("logo.jpg")};
  }

  // A logo as another tool may write it: the payload text as it stands, not checked.
  void writeLogo(const std::string& name, const std::string& payloadText) const {
    auto jpeg = encodeJpeg(generatedLogoPicture(), scramblePayload(payloadText));
    ASSERT_TRUE(jpeg) << jpeg.error().message;
    WriteFile(dir.path() / name, std::string(jpeg.value().begin(), jpeg.value().end()));
  }

  TempDir dir{"logopack"};
};

TEST_F(LogopackProgram, PacksAndLists) {
  auto pack = logopack(packArgs("fw.hex"));
  ASSERT_EQ(pack.exitCode, 0) << pack.err;
  EXPECT_EQ(pack.err, "");
  EXPECT_NE(pack.out.find("3 firmware bytes in 1 address ranges"), std::string::npos) << pack.out;

  auto list = logopack({"--list", path("logo.jpg")});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(list.out,
            "version:     1.0\n"
            "title:       Demo Update\n"
            "vendor id:   4660 (0x1234)\n"
            "product id:  22136 (0x5678)\n"
            "first field: (empty)\n"
            "firmware:    3 records, 3 bytes\n"
            "  0x00000800-0x00000802 (3 bytes)\n"
            "picture:     128 x 128, payload 77 bytes\n");

  auto help = logopack({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.starts_with("usage: logopack")) << help.out;
}

TEST_F(LogopackProgram, FailuresExitWithTheirCodeAndOneMessage) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string words;
  };
  const std::vector<Case> cases = {
      {{}, 2, "nothing to do"},
      {packArgs("fw.hex", "A$B"), 2, "title \"A$B\" holds \"$\""},
      {{"--list", path("logo.jpg"), "--vid", "70000"}, 2, "\"70000\" is out of range"},
      {packArgs("missing.hex"), 1, "missing.hex: cannot open"},
      {packArgs("bad.hex"), 1, "bad.hex: line 2: checksum 0xFF is wrong"},
      {{"--list", path("text.jpg")}, 1, "text.jpg: cannot read it as a JPEG: Not a JPEG file"},
      {{"--list", path("fw.hex")}, 1, "fw.hex: cannot read it as a JPEG"},
  };
  for (const Case& c : cases) {
    auto run = logopack(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.words << "\n" << run.err;
    EXPECT_EQ(run.out, "") << c.words;
    EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
    expectOnlyOwnMessages(run.err);
  }
  EXPECT_FALSE(std::filesystem::exists(path("logo.jpg")));
}

TEST_F(LogopackProgram, ListingSaysWhyTheUpdaterWouldRefuseALogoAndExitsWithOne) {
  const std::string data = Record(0x0800, 0x00, {0xC0, 0xFF, 0xEE});
  struct Case {
    std::string version;
    std::string firmware;
    std::string why;
  };
  const std::vector<Case> cases = {
      {"1.0", data + "\n" + data + "\r\n" + kEndOfFile + "\r\n",
       "line 1: text after the record's checksum, \"\\x0a:03080000C0FFEE\"... (a record must end its line, and only "
       "CR LF ends a line): the updater says \"Invalid file format.\""},
      {"1.0", data + "\r\n" + data + "AB\r\n", "line 2: text after the record's checksum, \"AB\""},
      {"1.0", data + "\r\n" + data, "no end-of-file record (the updater's records are lines ending in CR LF): the updater says \"Invalid file format.\""},
      {"1.0", data + "\r\n" + Record(0, 0x05, {0, 0, 8, 0}) + "\r\n" + kEndOfFile + "\r\n",
       "line 2: record type 0x05, which the updater does not take (only 00, 01 and 04): the updater says "
       "\"Invalid file format.\" (recordType=5)"},
      {"1.0", ":0100000001FF\r\n" + kEndOfFile + "\r\n", "line 1: wrong checksum: the updater says \"Checksum Error: 254 <> 255\""},
      {"1.0", data + "\r\n\r\n" + kEndOfFile + "\r\n", "line 2: no record"},
      {"1.0", data + "\r\n", "line 2: no record"},
      {"", data + "\r\n" + kEndOfFile + "\r\n", "the updater says \"Application is not complete.\""},
  };
  for (const Case& c : cases) {
    writeLogo("other.jpg", "$" + c.version + "$T$4660$22136$" + c.firmware);
    auto list = logopack({"--list", path("other.jpg")});
    EXPECT_EQ(list.exitCode, 1) << c.why;
    EXPECT_NE(list.out.find("picture:"), std::string::npos) << list.out;
    EXPECT_NE(list.err.find("other.jpg: the updater would refuse this logo: "), std::string::npos) << list.err;
    EXPECT_NE(list.err.find(c.why), std::string::npos) << list.err;
    expectOnlyOwnMessages(list.err);
  }
}

// The ids the updater searches for, by its own reading of the texts; a text that is not the
// id's plain decimal is shown with it.
TEST_F(LogopackProgram, ListingShowsTheIdsAsTheUpdaterReadsThem) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"&h1234", "\"&h1234\", read by the updater as 4660 (0x1234)"},
      {"Trovak", "\"Trovak\", read by the updater as 0 (0x0000)"},
      {"70000", "70000, which no USB id can be (0 to 65535)"},
      {"4294971956", "\"4294971956\", read by the updater as 2147483647, which no USB id can be (0 to 65535)"},
  };
  for (const auto& [text, shown] : cases) {
    writeLogo("ids.jpg", "$1.0$T$" + text + "$22136$" + Record(0x0800, 0x00, {1}) + "\r\n" + kEndOfFile + "\r\n");
    auto list = logopack({"--list", path("ids.jpg")});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("vendor id:   " + shown + "\nproduct id:  22136 (0x5678)\n"), std::string::npos) << list.out;
  }
}

TEST_F(LogopackProgram, ListingShowsControlCharactersOfTheTextsAsEscapes) {
  // The first field holds CSI as a UTF-8 character and as a raw byte, and a byte of no character.
  writeLogo("escapes.jpg", "\x1b]0;x\a\xC2\x9B" "2J\x9B" "2J\xFF$1.0\x1b[2J$A\x1b[31mB\nC\x7f$4660\x1b$22136$" +
                               Record(0x0800, 0x00, {1}) + "\r\n" + kEndOfFile + "\r\n");
  auto list = logopack({"--list", path("escapes.jpg")});
  EXPECT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(list.out.find('\x1b'), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("version:     1.0\\x1b[2J\n"
                          "title:       A\\x1b[31mB\\x0aC\\x7f\n"
                          "vendor id:   \"4660\\x1b\", read by the updater as 4660 (0x1234)\n"
                          "product id:  22136 (0x5678)\n"
                          "first field: \\x1b]0;x\\x07\\xc2\\x9b2J\\x9b2J\\xff\n"),
            std::string::npos)
      << list.out;
}

}  // namespace
}  // namespace logopack
