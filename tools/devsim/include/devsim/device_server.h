// Puts a simulated bootloader on the wire as a virtual HID device: a listening AF_UNIX
// SOCK_SEQPACKET socket <name>.sock plus its identity in <name>.props, in the device
// folder. Each datagram is a report id byte (0) followed by the report bytes. One host
// session at a time; memory outlives sessions. Ending the run removes both files and
// closes the connection, which is how a host sees the device unplugged.
#pragma once

#include <chrono>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "devsim/bootloader.h"
#include "devsim/options.h"
#include "devsim/result.h"
#include "devsim/traffic_log.h"

namespace devsim {

enum class RunEnd {
  Stopped,   // asked to stop (requestStop, SIGTERM, SIGINT)
  Vanished,  // the --vanish-after or --vanish-on count was reached
};

// What the device has done so far; cheap to copy, for waiting on progress.
struct DeviceActivity {
  BootloaderStats stats;
  std::uint64_t sessionsStarted = 0;  // connections accepted
  std::uint64_t reportsSent = 0;      // input reports, unsolicited ones included
  bool hostConnected = false;
  bool ended = false;  // the device is gone: files removed, connection closed
};

class DeviceServer {
 public:
  // Listens, then publishes the props file, so that a host which finds the props can
  // always connect. Fails with DeviceExists while the simulator named in a props file of the
  // same name still runs, and with FileSystem when the device folder is not the user's own
  // private folder.
  static Result<std::unique_ptr<DeviceServer>> open(const Options& options);
  ~DeviceServer();

  DeviceServer(const DeviceServer&) = delete;
  DeviceServer& operator=(const DeviceServer&) = delete;

  const std::filesystem::path& socketPath() const { return socketPath_; }  // absolute

  // Serves hosts until asked to stop or until the device vanishes; then removes the
  // files. Runs once per server.
  RunEnd run();

  // Makes run() end soon. Safe from any thread and from a signal handler.
  void requestStop() noexcept;

  DeviceActivity activity() const;

  // Whether a report from the host is waiting for the device or being handled by it, while
  // the device is not busy on purpose (erasing, pacing). A host whose time is simulated
  // asks this before it lets time pass, so that it never times out an answer the device is
  // about to give. Safe from any thread.
  bool handlingReport() const;
  std::vector<RegionMemory> memory() const;

  // Waits for `condition` to hold, checked on every change; false when time ran out.
  bool waitUntil(const std::function<bool(const DeviceActivity&)>& condition,
                 std::chrono::milliseconds timeout) const;

 private:
  using Clock = std::chrono::steady_clock;
  enum class Step { Continue, HostLeft, Stop, Vanish };

  DeviceServer(const Options& options, std::filesystem::path socketPath, std::filesystem::path propsPath);

  std::optional<Error> listen();
  std::optional<Error> publishProps() const;
  Step waitForHost();
  Step serveNextReport();
  Step process(std::span<const std::uint8_t> report);
  Step send(std::span<const Report> reports);
  Step sendFlood();
  // Waits until then, unless asked to stop meanwhile.
  Step pauseUntil(Clock::time_point until);
  // A signal cuts a wait short and is no reason to stop; anything else poll fails with is.
  static Step afterPollFailure();
  void endSession();
  void finish();
  void removeFiles();
  void saveMemory() const;
  template <typename Change>
  void update(Change change);

  Options options_;
  std::filesystem::path socketPath_;
  std::filesystem::path propsPath_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  int connectionFd_ = -1;
  bool filesPublished_ = false;
  Clock::time_point notBefore_{};
  std::uint64_t floodSent_ = 0;  // in this session
  Clock::time_point nextFlood_{};
  std::ofstream trafficFile_;
  std::optional<TrafficLog> traffic_;

  // Guards bootloader_ and activity_, and the changes of connectionFd_, listenFd_ and
  // notBefore_ (which only the serving thread makes, and so reads without it).
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Bootloader bootloader_;
  DeviceActivity activity_;
  std::atomic<bool> handling_{false};
};

// A device served on a thread of its own, for tests that run the simulator in-process.
class BackgroundDevice {
 public:
  static Result<std::unique_ptr<BackgroundDevice>> start(const Options& options);
  ~BackgroundDevice();  // disappears if still there

  BackgroundDevice(const BackgroundDevice&) = delete;
  BackgroundDevice& operator=(const BackgroundDevice&) = delete;

  const std::filesystem::path& socketPath() const { return server_->socketPath(); }
  const DeviceServer& server() const { return *server_; }

  // The device goes away (files removed, host connection closed) and the thread ends.
  // Returns how the run ended; calling it again returns the same.
  RunEnd disappear();

 private:
  explicit BackgroundDevice(std::unique_ptr<DeviceServer> server);

  std::unique_ptr<DeviceServer> server_;
  std::thread thread_;
  RunEnd end_ = RunEnd::Stopped;
};

}  // namespace devsim
