#include "background_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>

#include "wait_readable.h"

extern char** environ;

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

// Appends what one read brings; false at the end of the stream (or on an error).
bool ReadSome(int descriptor, std::string& sink) {
  std::array<char, 4096> buffer{};
  const ssize_t got = ::read(descriptor, buffer.data(), buffer.size());
  if (got <= 0) return false;
  sink.append(buffer.data(), static_cast<std::size_t>(got));
  return true;
}

// This process's environment with `extra` laid over it. Appending alone is not enough: the
// first of two entries with one name is the one getenv finds.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  const auto replaced = [&](std::string_view entry) {
    return std::any_of(extra.begin(), extra.end(), [&](const std::string& override) {
      return entry.starts_with(override.substr(0, override.find('=')) + '=');
    });
  };
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!replaced(*entry)) merged.emplace_back(*entry);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

std::vector<char*> CStrings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

void CloseIfOpen(int& descriptor) {
  if (descriptor >= 0) ::close(descriptor);
  descriptor = -1;
}

// The test's ends of a program's standard streams (-1: none), and the ends the program gets
// (its input, output and error; on a terminal, the terminal's name and the test's own
// descriptor of it), which the test closes once the program has started.
struct StreamEnds {
  int in = -1;
  int out = -1;
  int err = -1;
  std::vector<int> childs;
  std::string terminal;

  void CloseAll() {
    for (int* descriptor : {&in, &out, &err}) CloseIfOpen(*descriptor);
    for (int& descriptor : childs) CloseIfOpen(descriptor);
  }
};

StreamEnds Pipes() {
  // Close-on-exec, so that no other child started meanwhile holds a pipe open; the copies
  // made for this child's own outputs lose the flag.
  std::array<int, 2> in{-1, -1};
  std::array<int, 2> out{-1, -1};
  std::array<int, 2> err{-1, -1};
  // The input is a socket pair rather than a pipe, so that it can be written without the
  // risk of SIGPIPE.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in.data()) != 0 || ::pipe2(out.data(), O_CLOEXEC) != 0 ||
      ::pipe2(err.data(), O_CLOEXEC) != 0) {
    const std::string reason = std::strerror(errno);
    for (auto* pipe : {&in, &out, &err}) {
      for (int& descriptor : *pipe) CloseIfOpen(descriptor);
    }
    throw std::runtime_error("pipe: " + reason);
  }
  return {in[1], out[0], err[0], {in[0], out[1], err[1]}, {}};
}

// A pseudo-terminal: the test writes and reads its master. Its other end is held open until
// the program has started, so that the settings made on it hold.
StreamEnds Terminal() {
  StreamEnds ends;
  std::array<char, 128> name{};
  termios settings{};
  ends.in = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  const bool opened = ends.in >= 0 && ::grantpt(ends.in) == 0 && ::unlockpt(ends.in) == 0 &&
                      ::ptsname_r(ends.in, name.data(), name.size()) == 0 &&
                      (ends.out = ::fcntl(ends.in, F_DUPFD_CLOEXEC, 0)) >= 0 &&
                      ends.childs.emplace_back(::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC)) >= 0 &&
                      ::tcgetattr(ends.childs[0], &settings) == 0;
  if (!opened) {
    const std::string reason = std::strerror(errno);
    ends.CloseAll();
    throw std::runtime_error("pseudo-terminal: " + reason);
  }
  // Output as through a pipe: no echo of what the test types, no carriage return added.
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  ::tcsetattr(ends.childs[0], TCSANOW, &settings);
  ends.terminal = name.data();
  return ends;
}

}  // namespace

BackgroundProcess::BackgroundProcess(std::vector<std::string> argv,
                                     const std::vector<std::string>& extraEnvironment,
                                     const std::string& input, bool keepInputOpen, Streams streams)
    : onTerminal_(streams == Streams::kTerminal) {
  if (argv.empty()) throw std::runtime_error("no program to start");
  std::vector<std::string> environment = MergedEnvironment(extraEnvironment);
  std::vector<char*> argp = CStrings(argv);
  std::vector<char*> envp = CStrings(environment);
  StreamEnds ends = onTerminal_ ? Terminal() : Pipes();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (onTerminal_) {
    // The program, leader of a session of its own, opens the terminal, which so becomes its
    // controlling terminal.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, ends.terminal.c_str(), O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDERR_FILENO);
  } else {
    // Never the test's own input: a program that finds a terminal there would wait on it.
    for (int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
      posix_spawn_file_actions_adddup2(&actions, ends.childs[static_cast<size_t>(descriptor)], descriptor);
    }
  }
  const int failed = ::posix_spawn(&pid_, argp[0], &actions, &attributes, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  for (int& descriptor : ends.childs) CloseIfOpen(descriptor);
  if (failed != 0) {
    ends.CloseAll();
    throw std::runtime_error(argv[0] + ": " + std::strerror(failed));
  }
  stdin_ = ends.in;
  stdout_ = ends.out;
  stderr_ = ends.err;
  WriteInput(input);
  if (!keepInputOpen) CloseInput();
}

BackgroundProcess::~BackgroundProcess() {
  if (!exitStatus_) {
    ::kill(pid_, SIGKILL);
    Reap(/*block=*/true);
  }
  CloseIfOpen(stdin_);
  CloseIfOpen(stdout_);
  CloseIfOpen(stderr_);
}

void BackgroundProcess::WriteInput(const std::string& text) {
  if (stdin_ < 0 || text.empty()) return;
  // A child that ends early must not kill the test with SIGPIPE (a terminal's master never
  // raises it).
  const ssize_t written = onTerminal_ ? ::write(stdin_, text.data(), text.size())
                                      : ::send(stdin_, text.data(), text.size(), MSG_NOSIGNAL);
  (void)written;
}

void BackgroundProcess::CloseInput() { CloseIfOpen(stdin_); }

void BackgroundProcess::CloseOutput() { CloseIfOpen(stdout_); }

void BackgroundProcess::CloseErrors() { CloseIfOpen(stderr_); }

std::optional<std::string> BackgroundProcess::ReadLine(std::chrono::milliseconds timeout) {
  return ReadLineOf(stdout_, pendingStdout_, timeout);
}

std::optional<std::string> BackgroundProcess::ReadStderrLine(std::chrono::milliseconds timeout) {
  return ReadLineOf(stderr_, pendingStderr_, timeout);
}

std::optional<std::string> BackgroundProcess::ReadLineOf(int descriptor, std::string& pending,
                                                         std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (const auto end = pending.find('\n'); end != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      return line;
    }
    if (descriptor < 0 || !WaitReadable(descriptor, deadline) || !ReadSome(descriptor, pending)) {
      return std::nullopt;
    }
  }
}

std::string BackgroundProcess::ReadAllStderr(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string text = std::exchange(pendingStderr_, {});
  while (stderr_ >= 0 && WaitReadable(stderr_, deadline) && ReadSome(stderr_, text)) {
  }
  return text;
}

void BackgroundProcess::Signal(int number) {
  if (!exitStatus_) ::kill(pid_, number);
}

std::optional<int> BackgroundProcess::WaitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!Reap(/*block=*/false) && Clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);  // a child's end has no descriptor to wait on here
  }
  return exitStatus_;
}

ProcessResult BackgroundProcess::Finish(std::optional<std::chrono::milliseconds> killAfter) {
  std::optional<Clock::time_point> killAt;
  if (killAfter) killAt = Clock::now() + *killAfter;
  ProcessResult result;
  result.out = std::exchange(pendingStdout_, {});
  result.err = std::exchange(pendingStderr_, {});
  // Both at once: a program that fills one pipe while the other is being drained would wait
  // forever.
  const std::array<int*, 2> streams{&stdout_, &stderr_};
  const std::array<std::string*, 2> sinks{&result.out, &result.err};
  while (stdout_ >= 0 || stderr_ >= 0) {
    int waitMs = -1;
    if (killAt) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*killAt - Clock::now());
      if (left.count() <= 0) {
        Signal(SIGKILL);
        killAt.reset();
      } else {
        waitMs = static_cast<int>(left.count());
      }
    }
    std::array<pollfd, 2> entries{{{stdout_, POLLIN, 0}, {stderr_, POLLIN, 0}}};
    if (::poll(entries.data(), entries.size(), waitMs) < 0 && errno != EINTR) break;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].revents != 0 && !ReadSome(*streams[i], *sinks[i])) CloseIfOpen(*streams[i]);
    }
  }
  // A program may close its outputs and run on.
  if (killAt && !WaitForExit(std::chrono::ceil<std::chrono::milliseconds>(*killAt - Clock::now()))) Signal(SIGKILL);
  const std::optional<int> status = Reap(/*block=*/true);
  if (status && WIFEXITED(*status)) result.exitCode = WEXITSTATUS(*status);
  return result;
}

std::optional<int> BackgroundProcess::Reap(bool block) {
  int status = 0;
  if (!exitStatus_ && ::waitpid(pid_, &status, block ? 0 : WNOHANG) == pid_) {
    exitStatus_ = status;
  }
  return exitStatus_;
}

}  // namespace testsupport
