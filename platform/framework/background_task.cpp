#include "background_task.h"

#include <utility>

namespace fw {
namespace {

using Clock = std::chrono::steady_clock;

// Reading the clock costs more than the rest of a yield; a loop that yields per byte still
// reaches the clock every few microseconds.
constexpr unsigned kCallsPerClockLook = 32;

struct BackgroundState {
  BackgroundHook hook;
  Clock::time_point lastRun{};
  bool running = false;
};

BackgroundState& State() {
  static BackgroundState state;
  return state;
}

// Apart from the state, so that the calls that only count touch nothing else.
constinit unsigned callsSinceClockLook = 0;

}  // namespace

void RuntimeBackgroundTask() {
  if (++callsSinceClockLook < kCallsPerClockLook) return;
  callsSinceClockLook = 0;
  BackgroundState& state = State();
  // The hook may itself run code that yields; that inner yield must not run it again.
  if (!state.hook || state.running) return;
  const Clock::time_point now = Clock::now();
  if (now - state.lastRun < kBackgroundHookInterval) return;
  state.lastRun = now;
  const BackgroundHook hook = state.hook;  // the hook may replace itself
  state.running = true;
  struct ClearWhenDone {
    bool& running;
    ~ClearWhenDone() { running = false; }
  } clear{state.running};
  hook();
}

BackgroundHook SetBackgroundHook(BackgroundHook hook) {
  BackgroundState& state = State();
  callsSinceClockLook = 0;
  state.lastRun = {};
  return std::exchange(state.hook, std::move(hook));
}

}  // namespace fw
