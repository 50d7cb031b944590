// What the fuzz targets of the updater's own code share.
#pragma once

#include <cstdint>

#include "fuzz_check.h"
#include "memory_block.h"

namespace fuzz {

// Once per process: message boxes are swallowed and debug-log lines dropped. The targets
// run millions of inputs; a message box would print each, the system log would keep each.
void QuietProcess();

// The code under test must never reach outside a memory block: an access outside one is
// harmless in the block itself (it is refused and counted), but always a bug of the caller.
// Checked when the guard goes, at the end of each input.
class StrayAccessGuard {
 public:
  StrayAccessGuard() : before_(fw::MemoryBlock::StrayAccesses()) {}
  ~StrayAccessGuard() { Check(fw::MemoryBlock::StrayAccesses() == before_, "an access outside a memory block"); }
  StrayAccessGuard(const StrayAccessGuard&) = delete;
  StrayAccessGuard& operator=(const StrayAccessGuard&) = delete;

 private:
  uint64_t before_;
};

}  // namespace fuzz
