// The event loop's list of running timers (inside the framework).
#pragma once

#include <optional>

#include "clock.h"

namespace fw {
class Timer;
}

namespace fw::timers {

// A timer that is not off; scheduling it again keeps one entry.
void Schedule(Timer& timer);
void Unschedule(Timer& timer);
// When the earliest running timer is due, or nullopt when none runs.
std::optional<Milliseconds> NextDue();
// Fires every timer that is due now, earliest first; false when none was. Stops early when
// the program is quitting.
bool FireDue();
void UnscheduleAll();

}  // namespace fw::timers
