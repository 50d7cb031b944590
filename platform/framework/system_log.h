// System.DebugLog: one line to the system's debug log, which the operating-system layer keeps
// (tests read it through that layer's sink).
#pragma once

#include <string_view>

namespace fw::System {

void DebugLog(std::string_view text);

}  // namespace fw::System
