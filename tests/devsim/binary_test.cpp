#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <fstream>

#include "background_process.h"
#include "files.h"
#include "seqpacket_peer.h"
#include "temp_dir.h"
#include "test_support.h"

namespace devsim {
namespace {

using namespace std::chrono_literals;
using test::commandPacket;
using testsupport::BackgroundProcess;
using testsupport::ReadFile;
using testsupport::SeqPacketPeer;
using testsupport::TempDir;

// The real binary as its own process.
BackgroundProcess startDevsim(const std::vector<std::string>& args) {
  std::vector<std::string> argv{DEVSIM_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return BackgroundProcess(argv);
}

std::vector<std::string> deviceArgs(const TempDir& dir, std::vector<std::string> extra = {}) {
  std::vector<std::string> args = {"--name", "board", "--dir", dir.path().string(), "--vid", "0x1234",
                                   "--pid", "0x5678"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

TEST(DevsimBinary, ReadyLineComesAfterTheProps) {
  TempDir dir("devsim");
  BackgroundProcess devsim = startDevsim(deviceArgs(dir, {"--no-serial"}));
  auto ready = devsim.ReadLine();
  ASSERT_TRUE(ready) << devsim.ReadAllStderr(100ms);
  EXPECT_EQ(*ready, "READY " + (dir.path() / "board.sock").string());

  std::string props = ReadFile(dir.path() / "board.props");
  EXPECT_NE(props.find("VendorID=4660\nProductID=22136\n"), std::string::npos) << props;
  EXPECT_EQ(props.find("SerialNumber"), std::string::npos) << props;
  EXPECT_NE(props.find("\nPid="), std::string::npos) << props;

  auto host = SeqPacketPeer::ConnectTo(dir.path() / "board.sock");
  host.SendReport(commandPacket(Command::QueryDevice));
  auto answer = host.NextReport();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)[0], 2);
  EXPECT_EQ((*answer)[1], 56);
}

TEST(DevsimBinary, SigtermRemovesFilesAndWritesMemory) {
  for (int signal : {SIGTERM, SIGINT}) {
    TempDir dir("devsim");
    const auto memory = dir.path() / "memory.txt";
    BackgroundProcess devsim =
        startDevsim(deviceArgs(dir, {"--memory", memory.string(), "--region", "0:0x800:2"}));
    ASSERT_TRUE(devsim.ReadLine());
    auto host = SeqPacketPeer::ConnectTo(dir.path() / "board.sock");
    ASSERT_TRUE(host.IsConnected());

    devsim.Signal(signal);
    auto status = devsim.WaitForExit();
    ASSERT_TRUE(status) << "still running after signal " << signal;
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    EXPECT_TRUE(host.PeerClosed());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "board.sock"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "board.props"));
    EXPECT_EQ(ReadFile(memory).rfind("REGION type=0 address=0x800 size=2\n", 0), 0u);
  }
}

TEST(DevsimBinary, BadOptionsExitWithAMessageNotACrash) {
  TempDir dir("devsim");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--name", "x"}, "--vid is required"},
      {deviceArgs(dir, {"--family", "300"}), "out of range"},
      {deviceArgs(dir, {"--region"}), "needs a value"},
      {deviceArgs(dir, {"--bogus"}), "unknown option"},
  };
  for (const auto& [args, words] : cases) {
    BackgroundProcess devsim = startDevsim(args);
    std::string errors = devsim.ReadAllStderr();
    auto status = devsim.WaitForExit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status)) << "died of a signal: " << errors;
    EXPECT_EQ(WEXITSTATUS(*status), 2);
    EXPECT_NE(errors.find(words), std::string::npos) << errors;
    EXPECT_FALSE(devsim.ReadLine(0ms));
  }
}

TEST(DevsimBinary, UnusableFolderIsReported) {
  TempDir dir("devsim");
  { std::ofstream blocker(dir.path() / "file"); }
  BackgroundProcess devsim =
      startDevsim({"--name", "board", "--dir", (dir.path() / "file" / "sub").string(), "--vid", "1", "--pid", "2"});
  std::string errors = devsim.ReadAllStderr();
  auto status = devsim.WaitForExit();
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << errors;
  EXPECT_NE(errors.find("device folder"), std::string::npos) << errors;
}

TEST(DevsimBinary, HelpPrintsUsage) {
  BackgroundProcess devsim = startDevsim({"--help"});
  auto line = devsim.ReadLine();
  ASSERT_TRUE(line);
  EXPECT_EQ(line->rfind("usage: devsim", 0), 0u);
  auto status = devsim.WaitForExit();
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

}  // namespace
}  // namespace devsim
