// A program running beside the test: its output read as it comes, its end awaited with a
// deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "run_process.h"

namespace testsupport {

using namespace std::chrono_literals;

// Where a program's standard streams go: pipes of their own, or a terminal of its own (a
// pseudo-terminal whose controlling process it is, in a session of its own, as a program
// started in a terminal window). On the terminal, what it prints comes back as output, its
// errors included, with plain line ends and without the echo of what was typed.
enum class Streams { kPipes, kTerminal };

// Started with its standard output and error on pipes of their own, or on a terminal. Killed
// and reaped on destruction if it is still running.
class BackgroundProcess {
 public:
  // argv[0] is the program's path. extraEnvironment entries are "NAME=value"; each replaces
  // the variable of that name in this process's environment, or is added. The program reads
  // input on its standard input (a few kilobytes at most: the pipe must hold it), then the end
  // of it, or, with keepInputOpen, what WriteInput adds until CloseInput. Throws when the
  // program cannot be started.
  explicit BackgroundProcess(std::vector<std::string> argv,
                             const std::vector<std::string>& extraEnvironment = {},
                             const std::string& input = {}, bool keepInputOpen = false,
                             Streams streams = Streams::kPipes);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  void WriteInput(const std::string& text);
  void CloseInput();
  // The reader of the standard output (or of the error stream) goes away, as `| head` does
  // once it has its lines: the program's next write there fails. On a terminal, closing both
  // the input and the output closes the terminal.
  void CloseOutput();
  void CloseErrors();

  // The next line of standard output, without its newline; nothing when none came in time
  // or the output ended.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = 5s);
  // The same for standard error.
  std::optional<std::string> ReadStderrLine(std::chrono::milliseconds timeout = 5s);
  // Standard error until it ends or the time is up.
  std::string ReadAllStderr(std::chrono::milliseconds timeout = 5s);
  void Signal(int number);
  // The status as waitpid reports it; nothing when still running after the timeout.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout = 5s);
  // Waits for both outputs to end and the program with them. A program still running once
  // killAfter has passed is killed, and so did not exit normally.
  ProcessResult Finish(std::optional<std::chrono::milliseconds> killAfter = std::nullopt);

 private:
  // Collects the exit status once the program has ended, waiting for that when `block`.
  std::optional<int> Reap(bool block);
  static std::optional<std::string> ReadLineOf(int descriptor, std::string& pending, std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  bool onTerminal_ = false;
  int stdin_ = -1;
  int stdout_ = -1;
  int stderr_ = -1;
  std::string pendingStdout_;
  std::string pendingStderr_;
  std::optional<int> exitStatus_;
};

}  // namespace testsupport
