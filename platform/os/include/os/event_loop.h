// The single pass of the main event loop that both WaitNextEvent and the framework's
// application loop run, so that device call-backs and queued events are serviced whichever
// loop is waiting.
#pragma once

#include "os/export.h"

extern "C" {

// Services every run-loop source whose descriptor is ready, then dispatches the events that
// were queued when dispatching began (events posted by handlers wait for the next pass).
// When no event is queued, waits up to `maxWaitSeconds` for a descriptor to become ready
// first (0, less or NaN: does not wait). True when a source ran or an event was dispatched.
OS_API bool OSRunEventLoopOnce(double maxWaitSeconds);

// Told after every pass that was allowed to wait and found nothing to do, with the time it
// was allowed to wait. A clock that tests drive lets time pass here, so that a wait measured
// against it (a read with a time-out) ends without the test sleeping. Null removes it.
typedef void (*OSEventLoopIdleHook)(double allowedWaitSeconds, void* context);
OS_API void OSSetEventLoopIdleHook(OSEventLoopIdleHook hook, void* context);

}  // extern "C"
