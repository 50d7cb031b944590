// Numbers in hexadecimal as messages and listings show them: "0x" and upper-case digits.
#pragma once

#include <cstdint>
#include <string>

namespace logopack {

// At least `digits` digits, zero-padded: hexNumber(0x800, 8) is "0x00000800".
std::string hexNumber(std::uint64_t value, int digits);

}  // namespace logopack
