#include "ticks.h"

#include <utility>

#include "clock.h"

namespace fw {
namespace {

TickSource& CurrentSource() {
  static TickSource source;
  return source;
}

int64_t ClockTicks() { return Now().count() * kTicksPerSecond / 1000; }

}  // namespace

int64_t Ticks() {
  const TickSource& source = CurrentSource();
  return source ? source() : ClockTicks();
}

TickSource SetTickSource(TickSource source) {
  Now();  // the real clock counts from the first use of the clock, not from a test's
  return std::exchange(CurrentSource(), std::move(source));
}

}  // namespace fw
