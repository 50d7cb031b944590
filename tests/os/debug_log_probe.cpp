// Logs each argument as one debug-log line through the OS layer's default route, in a
// process of its own so that each test sees the environment variable read afresh.
//   debug_log_probe [--sink] LINE... [--then-unset] LINE...
// --sink installs a sink that prints the lines on stdout; --then-unset removes
// UPDATER_DEBUG_LOG_STDERR from the environment before the lines after it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os/debug_log.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sink") == 0) {
      OSSetDebugLogSink([](const char* line, void*) { std::printf("sink: %s\n", line); }, nullptr);
    } else if (std::strcmp(argv[i], "--then-unset") == 0) {
      unsetenv("UPDATER_DEBUG_LOG_STDERR");
    } else {
      OSDebugLog(argv[i]);
    }
  }
  return 0;
}
