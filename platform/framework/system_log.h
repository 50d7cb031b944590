// System.DebugLog: one line to the system's debug log. The lines go to the operating-system
// layer's log; a sink installed by a test receives them instead, so that tests read exactly
// the lines the program wrote.
#pragma once

#include <functional>
#include <string_view>

namespace fw {

namespace System {
void DebugLog(std::string_view text);
}  // namespace System

using DebugLogSink = std::function<void(std::string_view line)>;

// Returns the sink installed before; an empty sink restores the system log.
DebugLogSink SetDebugLogSink(DebugLogSink sink);

}  // namespace fw
