#include "os/debug_log.h"

#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

OSDebugLogSink installedSink = nullptr;
void* installedContext = nullptr;

// The default route, set up at the first line: the system log under the program's name, and
// stderr as well when UPDATER_DEBUG_LOG_STDERR=1. The variable is read once, so a program
// that changes its environment later cannot start or stop the copy halfway through.
struct SystemLog {
  bool copyToStderr = false;

  SystemLog() {
    const char* copy = std::getenv("UPDATER_DEBUG_LOG_STDERR");
    copyToStderr = copy != nullptr && std::strcmp(copy, "1") == 0;
    openlog("trovak-updater", LOG_PID, LOG_USER);
  }
};

const SystemLog& systemLog() {
  static const SystemLog log;
  return log;
}

}  // namespace

extern "C" {

void OSDebugLog(const char* text) {
  const char* line = text != nullptr ? text : "";
  if (installedSink != nullptr) {
    installedSink(line, installedContext);
    return;
  }
  const SystemLog& log = systemLog();
  // Debug priority: journald stores every priority by default and journalctl shows them all
  // unless asked to filter, so the lines are kept without claiming more weight than they have.
  syslog(LOG_DEBUG, "%s", line);
  if (log.copyToStderr) std::fprintf(stderr, "%s\n", line);
}

void OSSetDebugLogSink(OSDebugLogSink sink, void* context) {
  installedSink = sink;
  installedContext = context;
}

}  // extern "C"
