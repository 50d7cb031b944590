// A line per report that crosses the wire, for reading a session after the fact.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace devsim {

// Upper-case hex, two digits per byte, no separators.
std::string toHex(std::span<const std::uint8_t> bytes);

class TrafficLog {
 public:
  // Writes to `out`, which must outlive the log; flushes after every line so that a
  // log read while the device runs (or after it was killed) is complete.
  explicit TrafficLog(std::ostream& out) : out_(out) {}

  void received(std::span<const std::uint8_t> report);  // an output report from the host
  void sent(std::span<const std::uint8_t> report);      // an input report to the host
  void note(std::string_view text);

 private:
  void line(std::string_view tag, std::string_view text);

  std::ostream& out_;
};

}  // namespace devsim
