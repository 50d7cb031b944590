#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace devsim::test {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool waitReadable(int fd, Clock::time_point deadline) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, remainingMs(deadline)) > 0;
}

}  // namespace

Report commandPacket(Command command) {
  Report packet(kReportSize, 0);
  packet[0] = static_cast<std::uint8_t>(command);
  return packet;
}

namespace {
Report addressed(Command command, std::uint32_t address, std::uint8_t count) {
  Report packet = commandPacket(command);
  for (std::size_t i = 0; i < 4; ++i) packet[1 + i] = static_cast<std::uint8_t>(address >> (8 * i));
  packet[5] = count;
  return packet;
}
}  // namespace

Report programPacket(std::uint32_t address, std::span<const std::uint8_t> data) {
  Report packet = addressed(Command::ProgramDevice, address, static_cast<std::uint8_t>(data.size()));
  std::copy(data.begin(), data.end(), packet.end() - static_cast<std::ptrdiff_t>(data.size()));
  return packet;
}

Report getDataPacket(std::uint32_t address, std::uint8_t count) {
  return addressed(Command::GetData, address, count);
}

std::uint32_t le32At(std::span<const std::uint8_t> report, std::size_t offset) {
  auto bytes = report.subspan(offset, 4);
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

std::vector<std::uint8_t> getDataPayload(const Report& answer) {
  const std::size_t count = answer.at(5);
  return {answer.end() - static_cast<std::ptrdiff_t>(count), answer.end()};
}

TempDir::TempDir() {
  std::string pattern = "/tmp/devsim-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

Options testOptions(const std::filesystem::path& dir, std::string name) {
  Options options;
  options.name = std::move(name);
  options.dir = dir;
  options.vendorId = 0x04D8;
  options.productId = 0x003C;
  return options;
}

HostConnection::HostConnection(const std::filesystem::path& socketPath) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
  fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) close();
}

HostConnection::~HostConnection() { close(); }

void HostConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void HostConnection::send(std::span<const std::uint8_t> report) {
  std::vector<std::uint8_t> datagram{0};
  datagram.insert(datagram.end(), report.begin(), report.end());
  if (::send(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(datagram.size())) {
    throw std::runtime_error(std::string("send failed: ") + std::strerror(errno));
  }
}

std::optional<Report> HostConnection::receive(std::chrono::milliseconds timeout) {
  if (!waitReadable(fd_, Clock::now() + timeout)) return std::nullopt;
  std::array<std::uint8_t, 8192> buffer{};
  ssize_t received = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
  if (received <= 0) return std::nullopt;
  return Report(buffer.begin() + 1, buffer.begin() + received);
}

bool HostConnection::waitForClose(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (waitReadable(fd_, deadline)) {
    std::array<std::uint8_t, 8192> buffer{};
    ssize_t received = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (received == 0 || (received < 0 && errno == ECONNRESET)) return true;
  }
  return false;
}

SpawnedDevsim::SpawnedDevsim(const std::vector<std::string>& args) {
  std::array<int, 2> out{};
  std::array<int, 2> err{};
  if (::pipe2(out.data(), O_CLOEXEC) != 0 || ::pipe2(err.data(), O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);

  std::vector<std::string> argvStrings{DEVSIM_BINARY};
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int failed = posix_spawn(&pid_, DEVSIM_BINARY, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  stdout_ = out[0];
  stderr_ = err[0];
  if (failed != 0) throw std::runtime_error(std::string("posix_spawn: ") + std::strerror(failed));
}

SpawnedDevsim::~SpawnedDevsim() {
  if (!reaped_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  ::close(stdout_);
  ::close(stderr_);
}

std::optional<std::string> SpawnedDevsim::readLine(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (auto end = pendingStdout_.find('\n'); end != std::string::npos) {
      std::string line = pendingStdout_.substr(0, end);
      pendingStdout_.erase(0, end + 1);
      return line;
    }
    if (!waitReadable(stdout_, deadline)) return std::nullopt;
    std::array<char, 512> buffer{};
    ssize_t got = ::read(stdout_, buffer.data(), buffer.size());
    if (got <= 0) return std::nullopt;
    pendingStdout_.append(buffer.data(), static_cast<std::size_t>(got));
  }
}

std::string SpawnedDevsim::readAllStderr(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string text;
  while (waitReadable(stderr_, deadline)) {
    std::array<char, 512> buffer{};
    ssize_t got = ::read(stderr_, buffer.data(), buffer.size());
    if (got <= 0) break;
    text.append(buffer.data(), static_cast<std::size_t>(got));
  }
  return text;
}

void SpawnedDevsim::signal(int number) { ::kill(pid_, number); }

std::optional<int> SpawnedDevsim::waitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      reaped_ = true;
      return status;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(1ms);  // a child's exit has no descriptor to wait on here
  }
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace devsim::test
