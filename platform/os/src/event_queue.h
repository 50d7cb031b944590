// The main event queue and the application target's handlers, as the event loop sees them.
#pragma once

#include <cstddef>

namespace os::events {

bool mainQueueIsEmpty();
// Hands the events queued now to their handlers, higher priorities first, and releases
// them. Events posted meanwhile stay for the next call, even those of a higher priority.
// Returns how many were dispatched.
std::size_t dispatchQueuedEvents();

}  // namespace os::events
