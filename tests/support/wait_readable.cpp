#include "wait_readable.h"

#include <poll.h>

#include <algorithm>

namespace testsupport {

bool WaitReadable(int descriptor, std::chrono::steady_clock::time_point deadline) {
  if (descriptor < 0) return false;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  pollfd entry{descriptor, POLLIN, 0};
  return ::poll(&entry, 1, static_cast<int>(std::max<decltype(left)>(left, 0))) > 0;
}

}  // namespace testsupport
