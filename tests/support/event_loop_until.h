// Running the OS layer's event loop until something has happened, with a deadline.
#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

using namespace std::chrono_literals;

// Runs passes of the event loop until `done` answers true; false when `timeout` passed
// first. A pass waits no longer than the deadline leaves.
bool RunEventLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s);

}  // namespace testsupport
