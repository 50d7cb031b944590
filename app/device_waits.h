// How long the updater waits for the device before it gives up, and the wait itself. A
// device that was unplugged or hangs must end in a message, never in a wait without end.
#pragma once

#include <cstdint>

#include "memory_block.h"
#include "ticks.h"

// After an erase: a whole-chip erase takes seconds on slow parts, so there is room for many.
inline constexpr int64_t kEraseAnswerTicks = 60 * fw::kTicksPerSecond;
// For the answer to a read-back request, which a device gives within milliseconds.
inline constexpr int64_t kDataAnswerTicks = 4 * fw::kTicksPerSecond;

// Reads until an answer comes (any report will do) or bound ticks have passed; yields once
// per read. nullptr when none came.
fw::Ref<fw::MemoryBlock> WaitForAnswer(int64_t bound);
