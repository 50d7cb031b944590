#include "fuzz_support.h"

#include <string_view>

#include "alerts.h"
#include "os/debug_log.h"

namespace fuzz {

void QuietProcess() {
  static const bool done = [] {
    fw::SetMessagePresenter([](const std::string&) {});
    fw::SetBeepPresenter([] {});
    // Except a memory block's note of an access outside it: that is a finding, and the
    // stack at this point names the code that made it.
    OSSetDebugLogSink(
        [](const char* line, void*) {
          if (std::string_view(line).starts_with("MemoryBlock:")) Fail(line);
        },
        nullptr);
    return true;
  }();
  (void)done;
}

}  // namespace fuzz
