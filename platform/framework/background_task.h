// RuntimeBackgroundTask: the cooperative yield that long loops call on every pass, often
// once per byte of a firmware image. It must cost next to nothing, so it looks at the clock
// only every few dozen calls and lets the front end run (redraw, take input) at most once
// every few milliseconds, through a hook the front end installs.
#pragma once

#include <chrono>
#include <functional>

namespace fw {

void RuntimeBackgroundTask();

using BackgroundHook = std::function<void()>;

// The least time between two runs of the hook.
inline constexpr std::chrono::milliseconds kBackgroundHookInterval{4};

// Returns the hook installed before; an empty hook makes the yield do nothing.
BackgroundHook SetBackgroundHook(BackgroundHook hook);

}  // namespace fw
