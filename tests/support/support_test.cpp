// The shared helpers hold what the other tests take for granted: folders and variables come
// back as they were, output is not lost, and a fake device publishes and talks like the
// simulator.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <optional>

#include "background_process.h"
#include "fake_virtual_device.h"
#include "files.h"
#include "run_process.h"
#include "scoped_env.h"
#include "seqpacket_peer.h"
#include "temp_dir.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;

TEST(TestSupportFolders, ATempDirIsFreshAndGoesWithAllItHolds) {
  fs::path kept;
  {
    TempDir dir("support-check");
    kept = dir.path();
    EXPECT_EQ(kept.parent_path(), "/tmp");
    EXPECT_TRUE(kept.filename().string().starts_with("support-check-"));
    EXPECT_TRUE(fs::is_empty(kept));
    WriteFile(kept / "a" / "b.txt", "text\n");
    EXPECT_EQ(ReadFile(kept / "a" / "b.txt"), "text\n");
    TempDir other("support-check");
    EXPECT_NE(other.path(), kept);
  }
  EXPECT_FALSE(fs::exists(kept));
}

TEST(TestSupportEnvironment, AVariableComesBackAsItWasOrGoesAway) {
  ::unsetenv("TESTSUPPORT_PROBE");
  {
    ScopedEnv outer("TESTSUPPORT_PROBE", "outer");
    {
      ScopedEnv inner("TESTSUPPORT_PROBE", "inner");
      EXPECT_STREQ(std::getenv("TESTSUPPORT_PROBE"), "inner");
    }
    EXPECT_STREQ(std::getenv("TESTSUPPORT_PROBE"), "outer");
  }
  EXPECT_EQ(std::getenv("TESTSUPPORT_PROBE"), nullptr);
}

TEST(TestSupportProcesses, RunCapturesBothOutputsInFullAndTheExitCode) {
  // Far more than a pipe holds on stderr before stdout says anything: both must be drained
  // together.
  const auto result = RunProcess({"/bin/sh", "-c", "head -c 300000 /dev/zero | tr '\\0' x >&2; echo out; exit 3"});
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(result.out, "out\n");
  EXPECT_EQ(result.err.size(), 300000u);
}

TEST(TestSupportProcesses, ExtraEnvironmentReplacesAVariableOfTheSameName) {
  ScopedEnv inherited("TESTSUPPORT_PROBE", "inherited");
  // printenv reads the variable with getenv, which takes the first entry of a name.
  const auto result = RunProcess({"/usr/bin/printenv", "TESTSUPPORT_PROBE"}, {"TESTSUPPORT_PROBE=given"});
  EXPECT_EQ(result.out, "given\n");
}

TEST(TestSupportProcesses, AProgramThatCannotStartSaysWhy) {
  const auto result = RunProcess({"/nonexistent/program"});
  EXPECT_EQ(result.exitCode, -1);
  EXPECT_NE(result.err.find("/nonexistent/program"), std::string::npos) << result.err;
  EXPECT_THROW(BackgroundProcess({"/nonexistent/program"}), std::runtime_error);
}

TEST(TestSupportProcesses, ABackgroundProcessIsReadLineByLineAndEndedBySignal) {
  // The error line comes first, so it is surely written once the second line has been read.
  BackgroundProcess process({"/bin/sh", "-c", "echo problem >&2; echo first; echo second; exec sleep 60"});
  EXPECT_EQ(process.ReadLine(), "first");
  EXPECT_EQ(process.ReadLine(), "second");
  EXPECT_EQ(process.ReadLine(50ms), std::nullopt) << "no third line yet";
  EXPECT_EQ(process.ReadAllStderr(50ms), "problem\n");
  EXPECT_EQ(process.WaitForExit(0ms), std::nullopt);

  process.Signal(SIGTERM);
  const auto status = process.WaitForExit();
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM);
  EXPECT_EQ(process.WaitForExit(0ms), status) << "the status stays once reaped";
}

// On a terminal of its own the program is the terminal's controlling process: closing the
// terminal hangs it up, as closing a terminal window does.
TEST(TestSupportProcesses, OnATerminalTheProgramIsHungUpWhenTheTerminalCloses) {
  BackgroundProcess process({"/bin/sh", "-c", "test -t 0 && test -t 2 && echo terminal; exec sleep 60"}, {}, "",
                            /*keepInputOpen=*/true, Streams::kTerminal);
  EXPECT_EQ(process.ReadLine(), "terminal");
  process.CloseInput();
  process.CloseOutput();
  const auto status = process.WaitForExit();
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGHUP);
}

TEST(TestSupportProcesses, FinishKillsAProgramStillRunningAfterItsTime) {
  BackgroundProcess process({"/bin/sh", "-c", "echo started; exec sleep 60"});
  // Once it runs: a loaded machine may take longer than the time allowed to start a shell.
  EXPECT_EQ(process.ReadLine(), "started");
  const ProcessResult result = process.Finish(50ms);
  EXPECT_EQ(result.exitCode, -1);
  const auto status = process.WaitForExit(0ms);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL);
}

TEST(TestSupportFakeDevice, PublishesItsPropsWithPidAndRemovesThemAtTheEnd) {
  TempDir dir("support-check");
  {
    FakeVirtualDevice device(dir.path(), "dev", {{"VendorID", "4660"}, {"Product", ""}});
    FakeVirtualDevice stale(dir.path(), "stale", {{"Pid", "7"}}, /*withSocket=*/false);
    EXPECT_EQ(ReadFile(dir.path() / "dev.props"),
              "Pid=" + std::to_string(::getpid()) + "\nProduct=\nVendorID=4660\n");
    EXPECT_EQ(ReadFile(dir.path() / "stale.props"), "Pid=7\n");
    EXPECT_TRUE(fs::is_socket(dir.path() / "dev.sock"));
    EXPECT_FALSE(fs::exists(dir.path() / "stale.sock"));
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(TestSupportFakeDevice, DatagramsGoBothWaysUntilTheHostCloses) {
  TempDir dir("support-check");
  FakeVirtualDevice device(dir.path(), "dev", {});
  EXPECT_FALSE(device.AcceptHost(0ms)) << "no host yet";
  auto host = SeqPacketPeer::ConnectTo(dir.path() / "dev.sock");
  ASSERT_TRUE(host.IsConnected());
  ASSERT_TRUE(device.AcceptHost());

  device.SendReport(std::vector<std::uint8_t>{7, 8});
  EXPECT_EQ(host.NextDatagram(), (SeqPacketPeer::Bytes{0, 7, 8})) << "report id in front";
  device.SendDatagram({0, 9});
  EXPECT_EQ(host.NextReport(), (SeqPacketPeer::Bytes{9})) << "report id taken off";

  host.SendDatagram(std::vector<std::uint8_t>{5, 1});
  EXPECT_EQ(device.NextDatagram(), (FakeVirtualDevice::Bytes{5, 1}));
  host.SendReport(std::vector<std::uint8_t>{6});
  EXPECT_EQ(device.NextDatagram(), (FakeVirtualDevice::Bytes{0, 6}));
  EXPECT_FALSE(device.HostClosed(0ms));
  host.Close();
  EXPECT_TRUE(device.HostClosed());
  EXPECT_EQ(device.NextDatagram(0ms), std::nullopt);
}

TEST(TestSupportPeer, ADeviceThatClosesIsSeenGoneEvenWithReportsUnread) {
  TempDir dir("support-check");
  FakeVirtualDevice device(dir.path(), "dev", {});
  auto host = SeqPacketPeer::ConnectTo(dir.path() / "dev.sock");
  ASSERT_TRUE(device.AcceptHost());
  host.SendReport(std::vector<std::uint8_t>{1});  // left unread: the close comes as a reset first
  EXPECT_FALSE(host.PeerClosed(0ms));
  device.CloseConnection();
  EXPECT_TRUE(host.PeerClosed());
  EXPECT_EQ(host.NextDatagram(0ms), std::nullopt);
}

TEST(TestSupportPeer, NobodyListeningLeavesItUnconnectedAndATooLongPathThrows) {
  TempDir dir("support-check");
  EXPECT_FALSE(SeqPacketPeer::ConnectTo(dir.path() / "nobody.sock").IsConnected());
  const fs::path tooLong = dir.path() / (std::string(sizeof(sockaddr_un::sun_path), 'x') + ".sock");
  EXPECT_THROW(UnixAddress(tooLong), std::runtime_error);
  EXPECT_THROW(SeqPacketPeer::ConnectTo(tooLong), std::runtime_error);
  EXPECT_THROW(FakeVirtualDevice(dir.path(), std::string(sizeof(sockaddr_un::sun_path), 'x'), {}),
               std::runtime_error);
  EXPECT_EQ(UnixAddress("/tmp/a.sock").sun_path, std::string("/tmp/a.sock"));
}

}  // namespace
}  // namespace testsupport
