#include "descriptor_channel.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace os::hid {
namespace {

// The largest HID report the kernel hands out, plus its report-id byte.
constexpr std::size_t kLargestPacket = 16384 + 1;

// Waits until the descriptor takes a packet or the deadline passes.
bool waitWritable(int descriptor, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd entry{descriptor, POLLOUT, 0};
    // A time-out of hours must not wrap to poll's "wait forever".
    const auto waitMs = std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX);
    const int ready = ::poll(&entry, 1, static_cast<int>(waitMs));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return true;  // let the write report the error
  }
}

}  // namespace

IOReturn ioReturnFromErrno(int error) {
  switch (error) {
    case 0:
      return kIOReturnSuccess;
    case EAGAIN:
    case ETIMEDOUT:
      return kIOReturnTimeout;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:
    case EPIPE:
    case ECONNREFUSED:
    case ECONNRESET:
    case ENOTCONN:
    case ESHUTDOWN:
      return kIOReturnNoDevice;
    case EACCES:
    case EPERM:
      return kIOReturnNotPermitted;
    case EBUSY:
      return kIOReturnExclusiveAccess;
    case EINVAL:
    case EMSGSIZE:
    case ENAMETOOLONG:
      return kIOReturnBadArgument;
    case ENOMEM:
    case ENOBUFS:
      return kIOReturnNoMemory;
    default:
      return kIOReturnError;
  }
}

DescriptorChannel::DescriptorChannel(UniqueFd descriptor)
    : descriptor_(std::move(descriptor)), packet_(kLargestPacket) {}

IOReturn DescriptorChannel::send(std::uint8_t reportId, std::span<const std::uint8_t> report,
                                 std::chrono::milliseconds timeout) {
  if (report.size() + 1 > kLargestPacket) return kIOReturnBadArgument;
  std::vector<std::uint8_t> packet;
  packet.reserve(report.size() + 1);
  packet.push_back(reportId);
  packet.insert(packet.end(), report.begin(), report.end());

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (!waitWritable(descriptor_.get(), deadline)) return kIOReturnTimeout;
    const ssize_t written = writePacket(packet);
    if (written == static_cast<ssize_t>(packet.size())) return kIOReturnSuccess;
    if (written >= 0) return kIOReturnError;  // a report goes whole or not at all
    if (errno == EINTR) continue;
    // Ready yet refused: another writer got there first; wait again within the deadline.
    if (errno == EAGAIN && std::chrono::steady_clock::now() < deadline) continue;
    return ioReturnFromErrno(errno);
  }
}

InputReport DescriptorChannel::receive(std::span<std::uint8_t> into) {
  for (;;) {
    const ssize_t length = readPacket(packet_);
    if (length > 0) {
      const auto report = reportOf(std::span<const std::uint8_t>(packet_).first(static_cast<std::size_t>(length)));
      const std::size_t copied = std::min(report.size(), into.size());
      std::copy_n(report.begin(), copied, into.begin());
      return {InputReport::Status::Report, copied};
    }
    if (length < 0 && errno == EINTR) continue;
    if (length < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {InputReport::Status::NothingYet, 0};
    // End of file or a hard error: the node or the peer has gone, and reading again would
    // only report the same.
    return {InputReport::Status::Gone, 0};
  }
}

}  // namespace os::hid
