// The system debug log: one line per call. The program's users read the terminal, so the
// lines go to the system log (syslog, ident "trovak-updater", which journald keeps:
// `journalctl -t trovak-updater`), not to stderr. UPDATER_DEBUG_LOG_STDERR=1 in the
// environment, read at the first line, copies every line to stderr as well. An installed
// sink replaces both: the framework routes its own debug log through here, and tests install
// a sink to read what was logged.
#pragma once

#include "os/export.h"

extern "C" {

typedef void (*OSDebugLogSink)(const char* line, void* context);

// Writes one line (without its line end). A null text logs an empty line.
OS_API void OSDebugLog(const char* text);

// Sends every later line to `sink` (with `context`) instead; a null sink restores the system
// log (and the stderr copy, when asked for).
OS_API void OSSetDebugLogSink(OSDebugLogSink sink, void* context);

}  // extern "C"
