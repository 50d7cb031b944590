#include "os/event_loop.h"

#include <algorithm>

#include "event_queue.h"
#include "os/carbon_events.h"
#include "run_loop_impl.h"

namespace {

// A polling caller (a waiting read that calls WaitNextEvent with no sleep) then sleeps in
// the kernel instead of spinning, yet wakes the moment a device has something.
constexpr double kShortestIdleWaitSeconds = 0.001;
constexpr double kTicksPerSecond = 60.0;

struct IdleHook {
  OSEventLoopIdleHook hook = nullptr;
  void* context = nullptr;
};

IdleHook& currentIdleHook() {
  static IdleHook idleHook;
  return idleHook;
}

}  // namespace

extern "C" {

bool OSRunEventLoopOnce(double maxWaitSeconds) {
  const double wait = os::events::mainQueueIsEmpty() ? maxWaitSeconds : 0.0;
  const bool sourcesRan = os::runloop::mainRunLoop().serviceReadySources(wait);
  const std::size_t dispatched = os::events::dispatchQueuedEvents();
  const bool ran = sourcesRan || dispatched > 0;
  const IdleHook idle = currentIdleHook();  // a copy: the hook may replace itself
  if (!ran && wait > 0 && idle.hook != nullptr) idle.hook(wait, idle.context);
  return ran;
}

void OSSetEventLoopIdleHook(OSEventLoopIdleHook hook, void* context) {
  currentIdleHook() = IdleHook{hook, context};
}

Boolean WaitNextEvent(EventMask, EventRecord* event, UInt32 sleepTicks, RgnHandle) {
  if (event != nullptr) *event = EventRecord{nullEvent, 0, 0, OSEventPoint{0, 0}, 0};
  OSRunEventLoopOnce(std::max(kShortestIdleWaitSeconds, sleepTicks / kTicksPerSecond));
  return false;
}

}  // extern "C"
