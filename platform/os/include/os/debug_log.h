// The system debug log: one line per call. Lines go to stderr unless a sink is installed;
// the framework routes its own debug log through here, and tests install a sink to read
// what was logged.
#pragma once

#include "os/export.h"

extern "C" {

typedef void (*OSDebugLogSink)(const char* line, void* context);

// Writes one line (without its line end). A null text logs an empty line.
OS_API void OSDebugLog(const char* text);

// Sends every later line to `sink` (with `context`); a null sink restores stderr.
OS_API void OSSetDebugLogSink(OSDebugLogSink sink, void* context);

}  // extern "C"
