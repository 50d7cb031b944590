// The signals that ask a process to end (SIGINT, SIGTERM, SIGHUP), delivered to the program
// through the main run loop: the handler only writes the signal's number to a pipe, and the
// run loop's source for that pipe hands it on between two pieces of the program's work, never
// in the middle of one.
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

// "SIGINT", "SIGTERM", "SIGHUP", else "signal <number>".
std::string SignalName(int number);

}  // namespace fw
