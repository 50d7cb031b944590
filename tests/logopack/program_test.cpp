#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files.h"
#include "hex_test_support.h"
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

}  // namespace
}  // namespace logopack
