#include "ticks.h"

#include <chrono>
#include <ratio>
#include <utility>

namespace fw {
namespace {

using Clock = std::chrono::steady_clock;
using TickDuration = std::chrono::duration<int64_t, std::ratio<1, kTicksPerSecond>>;

TickSource& CurrentSource() {
  static TickSource source;
  return source;
}

int64_t RealTicks() {
  static const Clock::time_point start = Clock::now();
  return std::chrono::duration_cast<TickDuration>(Clock::now() - start).count();
}

}  // namespace

int64_t Ticks() {
  const TickSource& source = CurrentSource();
  return source ? source() : RealTicks();
}

TickSource SetTickSource(TickSource source) {
  RealTicks();  // the real clock counts from the first use of the clock, not from a test's
  return std::exchange(CurrentSource(), std::move(source));
}

}  // namespace fw
