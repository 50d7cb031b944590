// Ticks: the framework's coarse clock, 60 ticks per second since the program started.
// Waits with a time-out are measured in ticks. The ticks follow the framework's clock (a test
// may drive it, see clock.h); tests may also replace the tick source alone, so that a
// two-second time-out runs in no time.
#pragma once

#include <cstdint>
#include <functional>

namespace fw {

inline constexpr int64_t kTicksPerSecond = 60;

int64_t Ticks();

using TickSource = std::function<int64_t()>;

// Returns the source installed before; an empty source restores the real clock.
TickSource SetTickSource(TickSource source);

}  // namespace fw
