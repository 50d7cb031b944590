#include "clock.h"

#include "os/event_loop.h"

namespace fw {
namespace {

using RealClock = std::chrono::steady_clock;

VirtualClock*& Installed() {
  static VirtualClock* clock = nullptr;
  return clock;
}

Milliseconds RealNow() {
  static const RealClock::time_point start = RealClock::now();
  return std::chrono::duration_cast<Milliseconds>(RealClock::now() - start);
}

// A pass of the operating system's loop found nothing: the program is waiting.
void LetVirtualTimePass(double /*allowedWaitSeconds*/, void* context) {
  auto* clock = static_cast<VirtualClock*>(context);
  if (!clock->eventLoopWaiting) clock->Advance(VirtualClock::kIdleStep);
}

}  // namespace

Milliseconds Now() {
  const VirtualClock* clock = Installed();
  return clock ? clock->now : RealNow();
}

VirtualClock::VirtualClock(Milliseconds start) : now(start) {
  Installed() = this;
  OSSetEventLoopIdleHook(&LetVirtualTimePass, this);
}

VirtualClock::~VirtualClock() {
  OSSetEventLoopIdleHook(nullptr, nullptr);
  Installed() = nullptr;
}

VirtualClock* CurrentVirtualClock() { return Installed(); }

}  // namespace fw
