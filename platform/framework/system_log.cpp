#include "system_log.h"

#include <string>
#include <utility>

#if UPDATER_FRAMEWORK_HAS_OS_LAYER
#include "os/debug_log.h"
#else
#include <cstdio>
#endif

namespace fw {
namespace {

DebugLogSink& CurrentSink() {
  static DebugLogSink sink;
  return sink;
}

void WriteToSystemLog(std::string_view text) {
  const std::string line(text);  // the log takes a NUL-terminated line
#if UPDATER_FRAMEWORK_HAS_OS_LAYER
  OSDebugLog(line.c_str());
#else
  std::fprintf(stderr, "%s\n", line.c_str());
#endif
}

}  // namespace

void System::DebugLog(std::string_view text) {
  const DebugLogSink sink = CurrentSink();
  if (sink) {
    sink(text);
  } else {
    WriteToSystemLog(text);
  }
}

DebugLogSink SetDebugLogSink(DebugLogSink sink) {
  return std::exchange(CurrentSink(), std::move(sink));
}

}  // namespace fw
