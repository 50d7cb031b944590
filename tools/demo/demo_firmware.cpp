// demo_firmware: writes the raw bytes of one memory region of the demo firmware. The bytes
// are made up (no real program), the same on every build, and different for each seed, so
// that a byte put at a wrong address shows when the image is read back.
//   demo_firmware OUT.bin SIZE SEED
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace {

std::optional<std::uint32_t> parseNumber(std::string_view text) {
  std::uint32_t value = 0;
  auto [stop, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || status != std::errc{} || stop != text.data() + text.size()) return std::nullopt;
  return value;
}

// xorshift32: cheap, deterministic, and never stuck at zero for a seed other than zero.
std::vector<char> demoBytes(std::uint32_t size, std::uint32_t seed) {
  std::vector<char> bytes(size);
  std::uint32_t state = seed == 0 ? 1 : seed;
  for (char& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<char>(state & 0xFF);
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = std::span(argv, static_cast<std::size_t>(argc));
  const auto size = args.size() == 4 ? parseNumber(args[2]) : std::nullopt;
  const auto seed = args.size() == 4 ? parseNumber(args[3]) : std::nullopt;
  if (!size || !seed) {
    std::cerr << "usage: demo_firmware OUT.bin SIZE SEED (decimal numbers)\n";
    return 2;
  }
  const auto bytes = demoBytes(*size, *seed);
  std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::cerr << "demo_firmware: cannot write " << args[1] << '\n';
    return 1;
  }
  return 0;
}
