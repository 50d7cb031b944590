// Where the debug log goes by default: the system log, never the user's terminal, unless
// UPDATER_DEBUG_LOG_STDERR=1 asks for a copy there. Each case runs the layer in a process of
// its own and reads that process's stderr.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_process.h"

namespace {

using testsupport::ProcessResult;
using testsupport::RunProcess;

ProcessResult logLines(const std::string& variable, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), DEBUG_LOG_PROBE);
  return RunProcess(arguments, {"UPDATER_DEBUG_LOG_STDERR=" + variable});
}

TEST(OsDebugLog, TheVariableCopiesEveryLineToStderr) {
  const ProcessResult result = logLines("1", {"first line", "", "Cannot open /dev/hidraw3: gone"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "first line\n\nCannot open /dev/hidraw3: gone\n");
  EXPECT_EQ(result.out, "");
}

TEST(OsDebugLog, WithoutTheVariableNothingReachesStderr) {
  for (const std::string variable : {"", "0"}) {
    const ProcessResult result = logLines(variable, {"first line", "second line"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "") << "UPDATER_DEBUG_LOG_STDERR=" << variable;
    EXPECT_EQ(result.out, "");
  }
}

TEST(OsDebugLog, TheVariableIsReadOnceAtTheFirstLine) {
  const ProcessResult result = logLines("1", {"before", "--then-unset", "after"});
  EXPECT_EQ(result.err, "before\nafter\n");
}

TEST(OsDebugLog, AnInstalledSinkReplacesTheStderrCopy) {
  const ProcessResult result = logLines("1", {"--sink", "one", "two"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "sink: one\nsink: two\n");
  EXPECT_EQ(result.err, "");
}

}  // namespace
