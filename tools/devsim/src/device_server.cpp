#include "devsim/device_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "device_folder.h"
#include "devsim/memory_dump.h"
#include "replace_file.h"

namespace devsim {

namespace {

constexpr std::uint8_t kReportId = 0;
// Larger than any report, so that a datagram is never cut short.
constexpr std::size_t kReceiveBufferSize = 8192;
constexpr std::chrono::milliseconds kPacedInterval{1};

Error systemError(ErrorCode code, const std::string& what) {
  return Error{code, what + ": " + std::strerror(errno)};
}

std::optional<sockaddr_un> socketAddress(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string& text = path.native();
  if (text.size() >= sizeof address.sun_path) return std::nullopt;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return address;
}

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// 0 bytes from recv is either the host's end or an empty datagram; only a hang-up tells.
bool hostHasHungUp(int fd) {
  pollfd entry{fd, POLLRDHUP, 0};
  return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLRDHUP)) != 0;
}

}  // namespace

DeviceServer::DeviceServer(const Options& options, std::filesystem::path socketPath, std::filesystem::path propsPath)
    : options_(options),
      socketPath_(std::move(socketPath)),
      propsPath_(std::move(propsPath)),
      bootloader_(options) {}

Result<std::unique_ptr<DeviceServer>> DeviceServer::open(const Options& options) {
  if (auto problem = validateOptions(options)) return *problem;
  std::error_code failure;
  const std::filesystem::path dir = std::filesystem::absolute(resolveDeviceDir(options.dir), failure);
  if (failure) return Error{ErrorCode::FileSystem, "cannot resolve the device folder: " + failure.message()};
  if (auto problem = prepareDeviceFolder(dir)) return *problem;

  std::unique_ptr<DeviceServer> server(
      new DeviceServer(options, dir / (options.name + ".sock"), dir / (options.name + ".props")));
  if (auto problem = server->listen()) return *problem;

  if (!options.trafficFile.empty()) {
    server->trafficFile_.open(options.trafficFile, std::ios::binary | std::ios::trunc);
    if (!server->trafficFile_) {
      return Error{ErrorCode::FileSystem, "cannot write the traffic log " + options.trafficFile.string()};
    }
    server->traffic_.emplace(server->trafficFile_);
  }
  if (auto problem = server->publishProps()) return *problem;
  server->filesPublished_ = true;
  return server;
}

std::optional<Error> DeviceServer::listen() {
  auto address = socketAddress(socketPath_);
  if (!address) {
    return Error{ErrorCode::Socket, "socket path too long for AF_UNIX (" + std::to_string(socketPath_.native().size()) +
                                        " bytes): " + socketPath_.string()};
  }
  if (publisherIsAlive(propsPath_)) {
    return Error{ErrorCode::DeviceExists, "a device named \"" + options_.name + "\" is already running in " +
                                              socketPath_.parent_path().string()};
  }
  // What a simulator that was killed left behind is replaced.
  std::error_code failure;
  if (std::filesystem::exists(socketPath_, failure)) std::filesystem::remove(socketPath_, failure);
  if (failure) return Error{ErrorCode::FileSystem, "cannot replace " + socketPath_.string() + ": " + failure.message()};
  listenFd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0) return systemError(ErrorCode::Socket, "socket");
  if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
    return systemError(ErrorCode::Socket, "bind " + socketPath_.string());
  }
  if (::listen(listenFd_, 4) != 0) return systemError(ErrorCode::Socket, "listen " + socketPath_.string());
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) return systemError(ErrorCode::Socket, "eventfd");
  return std::nullopt;
}

std::optional<Error> DeviceServer::publishProps() const {
  return replaceFile(propsPath_, "the device's props", [this](std::ostream& out) {
    out << "VendorID=" << options_.vendorId << '\n'
        << "ProductID=" << options_.productId << '\n'
        << "VersionNumber=" << options_.versionNumber << '\n'
        << "Manufacturer=" << options_.manufacturer << '\n'
        << "Product=" << options_.product << '\n';
    if (options_.serialNumber) out << "SerialNumber=" << *options_.serialNumber << '\n';
    out << "Pid=" << ::getpid() << '\n';
  });
}

DeviceServer::~DeviceServer() {
  removeFiles();
  {
    std::lock_guard lock(mutex_);
    closeFd(connectionFd_);
    closeFd(listenFd_);
  }
  closeFd(wakeFd_);
}

RunEnd DeviceServer::run() {
  for (;;) {
    Step step = connectionFd_ < 0 ? waitForHost() : serveNextReport();
    if (step == Step::HostLeft) endSession();
    if (step == Step::Stop || step == Step::Vanish) {
      finish();
      return step == Step::Stop ? RunEnd::Stopped : RunEnd::Vanished;
    }
  }
}

void DeviceServer::requestStop() noexcept {
  const int savedErrno = errno;  // a signal handler must leave errno as it found it
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(wakeFd_, &one, sizeof one);
  errno = savedErrno;
}

DeviceServer::Step DeviceServer::afterPollFailure() {
  if (errno == EINTR) return Step::Continue;
  std::cerr << "devsim: poll: " << std::strerror(errno) << '\n';
  return Step::Stop;
}

DeviceServer::Step DeviceServer::waitForHost() {
  std::array<pollfd, 2> fds{{{wakeFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}}};
  if (::poll(fds.data(), fds.size(), -1) < 0) return afterPollFailure();
  if (fds[0].revents != 0) return Step::Stop;
  if ((fds[1].revents & POLLIN) == 0) return Step::Continue;

  {
    // Taken under the lock, so that handlingReport() finds the host either still waiting
    // or connected.
    std::lock_guard lock(mutex_);
    connectionFd_ = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  }
  if (connectionFd_ < 0) return Step::Continue;  // the host gave up before we got to it
  update([](DeviceActivity& activity) {
    ++activity.sessionsStarted;
    activity.hostConnected = true;
  });
  floodSent_ = 0;
  nextFlood_ = Clock::now();
  return send(bootloader_.sessionStarted());
}

DeviceServer::Step DeviceServer::serveNextReport() {
  // While the device is busy (erasing, or pacing) reports stay in the socket, so the
  // host sees its sends back up as it would on a slow endpoint.
  // The wait is timed to the nanosecond: a pace of one report a millisecond rounded up to
  // whole milliseconds per wait would run at barely more than half that speed.
  // A flooding device sends its own reports beside that, whenever the host has room for one
  // and the next is due; a report from the host goes first.
  const auto now = Clock::now();
  const bool ready = now >= notBefore_;
  const auto& floodCount = options_.faults.floodCount;
  const bool flooding = options_.faults.floodLength && (!floodCount || floodSent_ < *floodCount);
  const bool floodDue = flooding && now >= nextFlood_;
  std::optional<Clock::time_point> wakeAt;
  if (!ready) wakeAt = notBefore_;
  if (flooding && !floodDue) wakeAt = std::min(wakeAt.value_or(nextFlood_), nextFlood_);
  const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(wakeAt.value_or(now) - now);
  const timespec timeout{static_cast<time_t>(wait.count() / 1'000'000'000), static_cast<long>(wait.count() % 1'000'000'000)};
  const short events = static_cast<short>((ready ? POLLIN : 0) | (floodDue ? POLLOUT : 0));
  std::array<pollfd, 2> fds{{{wakeFd_, POLLIN, 0}, {events != 0 ? connectionFd_ : -1, events, 0}}};
  if (::ppoll(fds.data(), fds.size(), wakeAt ? &timeout : nullptr, nullptr) < 0) return afterPollFailure();
  if (fds[0].revents != 0) return Step::Stop;
  const bool reportWaiting = ready && (fds[1].revents & ~POLLOUT) != 0;
  // A host that has gone shows as a failed send.
  if (!reportWaiting) return floodDue && fds[1].revents != 0 ? sendFlood() : Step::Continue;

  // Set before the report leaves the socket and cleared once its answers are out, so that
  // handlingReport() sees it in one place or the other.
  handling_ = true;
  struct Handled {
    std::atomic<bool>& flag;
    ~Handled() { flag = false; }
  } handled{handling_};
  std::array<std::uint8_t, kReceiveBufferSize> datagram{};
  const ssize_t received = ::recv(connectionFd_, datagram.data(), datagram.size(), MSG_DONTWAIT);
  if (received < 0) return errno == EAGAIN || errno == EINTR ? Step::Continue : Step::HostLeft;
  if (received == 0) {
    // A datagram always carries the report id: an empty one is malformed and dropped.
    return hostHasHungUp(connectionFd_) ? Step::HostLeft : Step::Continue;
  }
  return process(std::span(datagram).subspan(1, static_cast<std::size_t>(received) - 1));
}

DeviceServer::Step DeviceServer::process(std::span<const std::uint8_t> report) {
  const auto arrived = Clock::now();
  if (traffic_) traffic_->received(report);
  // Unplugged while the report was on its way: the device neither acts on it nor answers.
  const auto& vanishOn = options_.faults.vanishOnReport;
  if (vanishOn && bootloader_.stats().reportsReceived + 1 >= *vanishOn) {
    if (traffic_) traffic_->note("unplugged as this report arrived: not acted on");
    return Step::Vanish;
  }
  Reaction reaction;
  update([&](DeviceActivity& activity) {
    reaction = bootloader_.handle(report);
    activity.stats = bootloader_.stats();
  });
  if (traffic_) {
    for (const std::string& note : reaction.notes) traffic_->note(note);
  }
  // A paced device takes one report per bus frame, and frames come every millisecond
  // whatever the device's own delays: a report taken within its frame moves the next one
  // exactly a frame on; after a pause the frames start again from the report.
  const auto frame = arrived < notBefore_ + kPacedInterval ? notBefore_ : arrived;
  {
    std::lock_guard lock(mutex_);
    notBefore_ = arrived + reaction.busyFor;
    if (options_.pace) notBefore_ = std::max(notBefore_, frame + kPacedInterval);
  }

  if (Step step = send(reaction.ahead); step != Step::Continue) return step;
  if (reaction.answerDelay.count() > 0 && !reaction.answers.empty()) {
    // Late on purpose, as while erasing: a host on simulated time may let its time pass.
    handling_ = false;
    if (Step step = pauseUntil(arrived + reaction.answerDelay); step != Step::Continue) return step;
  }
  if (Step step = send(reaction.answers); step != Step::Continue) return step;
  const auto& vanishAfter = options_.faults.vanishAfterReports;
  if (vanishAfter && bootloader_.stats().reportsReceived >= *vanishAfter) return Step::Vanish;
  return Step::Continue;
}

DeviceServer::Step DeviceServer::send(std::span<const Report> reports) {
  for (const Report& report : reports) {
    std::vector<std::uint8_t> datagram;
    datagram.reserve(report.size() + 1);
    datagram.push_back(kReportId);
    datagram.insert(datagram.end(), report.begin(), report.end());

    for (;;) {
      if (::send(connectionFd_, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) break;
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return Step::HostLeft;
      // The host is not reading; wait for room, but stay stoppable.
      std::array<pollfd, 2> fds{{{wakeFd_, POLLIN, 0}, {connectionFd_, POLLOUT, 0}}};
      if (::poll(fds.data(), fds.size(), -1) < 0 && afterPollFailure() == Step::Stop) return Step::Stop;
      if (fds[0].revents != 0) return Step::Stop;
    }
    if (traffic_) traffic_->sent(report);
    update([](DeviceActivity& activity) { ++activity.reportsSent; });
  }
  return Step::Continue;
}

DeviceServer::Step DeviceServer::sendFlood() {
  ++floodSent_;
  nextFlood_ = Clock::now() + options_.faults.floodInterval;
  const Report report = bootloader_.floodReport();
  return send(std::span(&report, 1));
}

DeviceServer::Step DeviceServer::pauseUntil(Clock::time_point until) {
  for (auto now = Clock::now(); now < until; now = Clock::now()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now + std::chrono::microseconds(999));
    pollfd wake{wakeFd_, POLLIN, 0};
    if (::poll(&wake, 1, static_cast<int>(left.count())) < 0 && afterPollFailure() == Step::Stop) return Step::Stop;
    if (wake.revents != 0) return Step::Stop;
  }
  return Step::Continue;
}

void DeviceServer::endSession() {
  saveMemory();
  {
    std::lock_guard lock(mutex_);
    closeFd(connectionFd_);
    notBefore_ = {};
  }
  update([](DeviceActivity& activity) { activity.hostConnected = false; });
}

void DeviceServer::finish() {
  saveMemory();
  // Files first: a host that notices the closed connection then finds the device gone.
  removeFiles();
  {
    std::lock_guard lock(mutex_);
    closeFd(connectionFd_);
    closeFd(listenFd_);
  }
  update([](DeviceActivity& activity) {
    activity.hostConnected = false;
    activity.ended = true;
  });
}

void DeviceServer::removeFiles() {
  if (!filesPublished_) return;
  std::error_code ignored;
  std::filesystem::remove(propsPath_, ignored);
  std::filesystem::remove(socketPath_, ignored);
  filesPublished_ = false;
}

void DeviceServer::saveMemory() const {
  if (options_.memoryFile.empty()) return;
  std::lock_guard lock(mutex_);
  if (auto problem = saveMemoryDump(options_.memoryFile, bootloader_.memory())) {
    std::cerr << "devsim: " << problem->message << '\n';
  }
}

template <typename Change>
void DeviceServer::update(Change change) {
  {
    std::lock_guard lock(mutex_);
    change(activity_);
  }
  changed_.notify_all();
}

bool DeviceServer::handlingReport() const {
  {
    std::lock_guard lock(mutex_);
    if (connectionFd_ < 0) {
      // A host that has connected and not been taken yet may have sent already.
      pollfd waiting{listenFd_, POLLIN, 0};
      if (listenFd_ >= 0 && ::poll(&waiting, 1, 0) == 1) return true;
    } else {
      int pending = 0;
      if (Clock::now() >= notBefore_ && ::ioctl(connectionFd_, FIONREAD, &pending) == 0 && pending > 0) return true;
    }
  }
  // Asked after the socket: a report taken out of it since is being handled until its
  // answers are out.
  return handling_;
}

DeviceActivity DeviceServer::activity() const {
  std::lock_guard lock(mutex_);
  return activity_;
}

std::vector<RegionMemory> DeviceServer::memory() const {
  std::lock_guard lock(mutex_);
  return bootloader_.memory().regions();
}

bool DeviceServer::waitUntil(const std::function<bool(const DeviceActivity&)>& condition,
                             std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return condition(activity_); });
}

BackgroundDevice::BackgroundDevice(std::unique_ptr<DeviceServer> server) : server_(std::move(server)) {}

Result<std::unique_ptr<BackgroundDevice>> BackgroundDevice::start(const Options& options) {
  auto server = DeviceServer::open(options);
  if (!server) return server.error();
  std::unique_ptr<BackgroundDevice> device(new BackgroundDevice(std::move(server.value())));
  device->thread_ = std::thread([raw = device.get()] { raw->end_ = raw->server_->run(); });
  return device;
}

RunEnd BackgroundDevice::disappear() {
  if (thread_.joinable()) {
    server_->requestStop();
    thread_.join();
  }
  return end_;
}

BackgroundDevice::~BackgroundDevice() { disappear(); }

}  // namespace devsim
