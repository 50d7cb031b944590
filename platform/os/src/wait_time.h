// How long one pass of the run loop may sleep, in the form ppoll takes.
#pragma once

#include <algorithm>
#include <cmath>
#include <ctime>

namespace os::runloop {

// Waits are capped at a day: the loop is woken by descriptors, not by long sleeps.
inline constexpr double kLongestWaitSeconds = 86400.0;

// Anything but a positive number of seconds, NaN included, is no wait at all.
inline timespec waitTimeFrom(double seconds) {
  if (!(seconds > 0)) return timespec{0, 0};
  double whole = 0;
  const double fraction = std::modf(std::min(seconds, kLongestWaitSeconds), &whole);
  return timespec{static_cast<time_t>(whole), static_cast<long>(fraction * 1e9)};
}

}  // namespace os::runloop
