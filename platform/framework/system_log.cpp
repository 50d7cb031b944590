#include "system_log.h"

#include <string>

#include "os/debug_log.h"

namespace fw {

void System::DebugLog(std::string_view text) {
  const std::string line(text);  // the log takes a NUL-terminated line
  OSDebugLog(line.c_str());
}

}  // namespace fw
