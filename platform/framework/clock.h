// The framework's clock: milliseconds since the program started. Timers and Ticks read it.
//
// Tests install a VirtualClock instead. Virtual time stands still while the program works
// and jumps ahead only when the program would otherwise sleep: the event loop jumps to its
// next timer, and a wait inside a handler (a read with a time-out) moves one tick per idle
// pass. A ten-second timer or a two-second time-out so costs a test no real time, while a
// device answering from another thread still answers long before virtual time runs out.
#pragma once

#include <chrono>
#include <cstdint>

namespace fw {

using Milliseconds = std::chrono::milliseconds;

Milliseconds Now();

class VirtualClock {
 public:
  // How far virtual time moves per idle pass of a wait inside a handler: one tick.
  static constexpr Milliseconds kIdleStep{17};

  explicit VirtualClock(Milliseconds start = Milliseconds{1000});
  ~VirtualClock();
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;

  Milliseconds now;

  void Advance(Milliseconds by) { now += by; }

  // The event loop waits on its own terms: it jumps to its next timer, exactly.
  bool eventLoopWaiting = false;
};

// The installed virtual clock, or nullptr while the real clock runs.
VirtualClock* CurrentVirtualClock();

}  // namespace fw
