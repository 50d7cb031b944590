// A host's side of the simulator's wire, as small as the tests need: command packets,
// a socket connection, temporary device folders and a spawned simulator process.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "devsim/bootloader.h"
#include "devsim/options.h"

namespace devsim::test {

using namespace std::chrono_literals;

// Command packets as the updater builds them: 64 bytes, little-endian fields, program
// data right-aligned.
Report commandPacket(Command command);
Report programPacket(std::uint32_t address, std::span<const std::uint8_t> data);
Report getDataPacket(std::uint32_t address, std::uint8_t count);

std::uint32_t le32At(std::span<const std::uint8_t> report, std::size_t offset);
// The data of a GET_DATA answer: byte 5 says how many, right-aligned at byte 63.
std::vector<std::uint8_t> getDataPayload(const Report& answer);

// A short folder of its own under /tmp (socket paths are limited to 108 bytes).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

Options testOptions(const std::filesystem::path& dir, std::string name = "dev");

class HostConnection {
 public:
  explicit HostConnection(const std::filesystem::path& socketPath);
  ~HostConnection();
  HostConnection(const HostConnection&) = delete;
  HostConnection& operator=(const HostConnection&) = delete;

  bool connected() const { return fd_ >= 0; }
  void send(std::span<const std::uint8_t> report);  // prefixes the report id
  // The next input report (without its id), or nothing when none came in time.
  std::optional<Report> receive(std::chrono::milliseconds timeout = 2000ms);
  // True once the device has closed the connection.
  bool waitForClose(std::chrono::milliseconds timeout = 2000ms);
  void close();

 private:
  int fd_ = -1;
};

// The real binary, started with posix_spawn; stdout and stderr are pipes.
class SpawnedDevsim {
 public:
  explicit SpawnedDevsim(const std::vector<std::string>& args);
  ~SpawnedDevsim();  // kills and reaps the process if it is still running

  // The first stdout line, or nothing when none came in time.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout = 5000ms);
  std::string readAllStderr(std::chrono::milliseconds timeout = 5000ms);
  void signal(int number);
  // Exit status as waitpid reports it; nothing when still running after the timeout.
  std::optional<int> waitForExit(std::chrono::milliseconds timeout = 5000ms);

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  int stderr_ = -1;
  std::string pendingStdout_;
  bool reaped_ = false;
};

std::string readFile(const std::filesystem::path& path);

}  // namespace devsim::test
