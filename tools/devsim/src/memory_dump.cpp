// Memory dump format. For each region, in the order the device reports them:
//   REGION type=<T> address=0x<A> size=<S>
// with T and S decimal and A upper-case hex (S counts address units), followed by the
// region's memory bytes as upper-case hex, 32 bytes (64 digits) per line, the last line
// shorter when the region ends. A region of size 0 has no byte lines.
#include "devsim/memory_dump.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <span>

#include "devsim/traffic_log.h"

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
  std::filesystem::path aside = path;
  aside += ".tmp";
  {
    std::ofstream out(aside, std::ios::binary | std::ios::trunc);
    writeMemoryDump(out, memory);
    out.flush();
    if (!out) return Error{ErrorCode::FileSystem, "cannot write the memory dump " + aside.string()};
  }
  std::error_code failure;
  std::filesystem::rename(aside, path, failure);
  if (failure) {
    return Error{ErrorCode::FileSystem, "cannot put the memory dump in place at " + path.string() + ": " +
                                            failure.message()};
  }
  return std::nullopt;
}

}  // namespace devsim
