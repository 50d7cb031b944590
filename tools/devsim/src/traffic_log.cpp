// Traffic log format, one line per event, in the order things happened:
//   OUT <hex>    an output report the host sent (the report bytes, without the report id)
//   IN <hex>     an input report the device sent (likewise)
//   NOTE <text>  something the bytes alone do not show, e.g. programmed bytes that fell
//                outside every region and were dropped
// <hex> is upper-case, two digits per byte, no spaces; an empty report leaves it empty.
#include "devsim/traffic_log.h"

namespace devsim {

std::string toHex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

void TrafficLog::received(std::span<const std::uint8_t> report) { line("OUT", toHex(report)); }

void TrafficLog::sent(std::span<const std::uint8_t> report) { line("IN", toHex(report)); }

void TrafficLog::note(std::string_view text) { line("NOTE", text); }

void TrafficLog::line(std::string_view tag, std::string_view text) {
  out_ << tag << ' ' << text << '\n';
  out_.flush();
}

}  // namespace devsim
