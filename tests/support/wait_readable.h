// Waiting for a descriptor with a deadline instead of a fixed sleep.
#pragma once

#include <chrono>

namespace testsupport {

// True once `descriptor` has something to read (or its end); false when the deadline passed
// first or the descriptor is closed (negative).
bool WaitReadable(int descriptor, std::chrono::steady_clock::time_point deadline);

}  // namespace testsupport
