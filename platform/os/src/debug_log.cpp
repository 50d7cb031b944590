#include "os/debug_log.h"

#include <cstdio>

namespace {

OSDebugLogSink installedSink = nullptr;
void* installedContext = nullptr;

}  // namespace

extern "C" {

void OSDebugLog(const char* text) {
  const char* line = text != nullptr ? text : "";
  if (installedSink != nullptr) {
    installedSink(line, installedContext);
  } else {
    std::fprintf(stderr, "%s\n", line);
  }
}

void OSSetDebugLogSink(OSDebugLogSink sink, void* context) {
  installedSink = sink;
  installedContext = context;
}

}  // extern "C"
