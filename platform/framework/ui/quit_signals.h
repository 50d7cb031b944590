// The signals that ask a process to end (SIGINT, SIGTERM, SIGHUP, and SIGQUIT, the terminal's
// Ctrl+\), delivered to the program through the main run loop: the handler only writes the
// signal's number to a pipe, and the run loop's source for that pipe hands it on from the next
// pass of the loop. That pass may run in the middle of the program's work: a read that waits
// for a device's answer runs passes (WaitNextEvent) inside the handler that called it. So
// `arrived` must only note the signal or ask the program to quit; the handler it interrupted
// goes on to its end, and only then does the event loop stop.
#pragma once

#include <functional>
#include <string>

#include "os/run_loop.h"

namespace fw {

class QuitSignals {
 public:
  // Installs the handlers and the run loop's source while it lives; the handlers that were
  // there before come back afterwards. arrived runs on the main thread, once per signal.
  explicit QuitSignals(std::function<void(int number)> arrived);
  ~QuitSignals();
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

 private:
  static void Readable(int descriptor, short revents, void* info);

  std::function<void(int)> arrived_;
  int pipe_[2]{-1, -1};
  CFRunLoopSourceRef source_ = nullptr;
};

// "SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT", else "signal <number>".
std::string SignalName(int number);

}  // namespace fw
