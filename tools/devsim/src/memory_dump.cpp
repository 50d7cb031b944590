// Memory dump format. For each region, in the order the device reports them:
//   REGION type=<T> address=0x<A> size=<S>
// with T and S decimal and A upper-case hex (S counts address units), followed by the
// region's memory bytes as upper-case hex, 32 bytes (64 digits) per line, the last line
// shorter when the region ends. A region of size 0 has no byte lines.
#include "devsim/memory_dump.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "devsim/traffic_log.h"
#include "replace_file.h"

namespace devsim {

namespace {
constexpr std::size_t kBytesPerLine = 32;

std::string hexNumber(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}
}  // namespace

void writeMemoryDump(std::ostream& out, const DeviceMemory& memory) {
  for (const RegionMemory& region : memory.regions()) {
    out << "REGION type=" << unsigned{region.layout.type} << " address=" << hexNumber(region.layout.address)
        << " size=" << region.layout.size << '\n';
    std::span<const std::uint8_t> bytes(region.bytes);
    for (std::size_t start = 0; start < bytes.size(); start += kBytesPerLine) {
      out << toHex(bytes.subspan(start, std::min(kBytesPerLine, bytes.size() - start))) << '\n';
    }
  }
}

std::optional<Error> saveMemoryDump(const std::filesystem::path& path, const DeviceMemory& memory) {
  return replaceFile(path, "the memory dump", [&memory](std::ostream& out) { writeMemoryDump(out, memory); });
}

}  // namespace devsim
