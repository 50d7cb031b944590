// A device channel over a file descriptor: the waiting and error handling that hidraw
// nodes and simulator sockets share. A subclass only moves one packet in or out.
#pragma once

#include <sys/types.h>

#include <vector>

#include "device_source.h"
#include "unique_fd.h"

namespace os::hid {

// The IOKit result for an errno of a device call.
IOReturn ioReturnFromErrno(int error);

class DescriptorChannel : public DeviceChannel {
 public:
  explicit DescriptorChannel(UniqueFd descriptor);

  int descriptor() const override { return descriptor_.get(); }
  IOReturn send(std::uint8_t reportId, std::span<const std::uint8_t> report,
                std::chrono::milliseconds timeout) override;
  InputReport receive(std::span<std::uint8_t> into) override;

 protected:
  // One write or read of a whole packet, as write(2)/read(2) answer.
  virtual ssize_t writePacket(std::span<const std::uint8_t> packet) = 0;
  virtual ssize_t readPacket(std::span<std::uint8_t> packet) = 0;
  // The report bytes inside a packet that was read.
  virtual std::span<const std::uint8_t> reportOf(std::span<const std::uint8_t> packet) const = 0;

 private:
  UniqueFd descriptor_;
  std::vector<std::uint8_t> packet_;  // room for the largest report a device can send
};

}  // namespace os::hid
