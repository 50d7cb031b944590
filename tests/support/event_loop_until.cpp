#include "event_loop_until.h"

#include <algorithm>

#include "os/event_loop.h"

namespace testsupport {

bool RunEventLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
    OSRunEventLoopOnce(std::min(std::chrono::duration<double>(left).count(), 0.05));
  }
  return true;
}

}  // namespace testsupport
