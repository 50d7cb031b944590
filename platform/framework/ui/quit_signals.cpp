#include "ui/quit_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <utility>

namespace fw {
namespace {

constexpr std::array<int, 4> kQuitSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The write end for the handler; -1 while no QuitSignals lives.
volatile sig_atomic_t writeEnd = -1;

struct sigaction previous[kQuitSignals.size()];

void Handler(int number) {
  const int savedErrno = errno;
  const auto byte = static_cast<unsigned char>(number);
  // A full pipe drops the signal: many of the same kind are already waiting.
  if (writeEnd >= 0) {
    const ssize_t written = write(writeEnd, &byte, 1);
    static_cast<void>(written);
  }
  errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void(int number)> arrived) : arrived_(std::move(arrived)) {
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
  source_ = OSRunLoopSourceCreateForDescriptor(pipe_[0], &Readable, this);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), source_, kCFRunLoopDefaultMode);
  writeEnd = pipe_[1];
  struct sigaction action {};
  action.sa_handler = &Handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < kQuitSignals.size(); ++i) sigaction(kQuitSignals[i], &action, &previous[i]);
}

QuitSignals::~QuitSignals() {
  if (source_ == nullptr) return;
  for (size_t i = 0; i < kQuitSignals.size(); ++i) sigaction(kQuitSignals[i], &previous[i], nullptr);
  writeEnd = -1;
  CFRunLoopRemoveSource(CFRunLoopGetCurrent(), source_, kCFRunLoopDefaultMode);
  CFRelease(source_);
  close(pipe_[0]);
  close(pipe_[1]);
}

void QuitSignals::Readable(int descriptor, short /*revents*/, void* info) {
  auto* self = static_cast<QuitSignals*>(info);
  unsigned char byte = 0;
  while (read(descriptor, &byte, 1) == 1) self->arrived_(byte);
}

std::string SignalName(int number) {
  switch (number) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGQUIT: return "SIGQUIT";
    default: return "signal " + std::to_string(number);
  }
}

}  // namespace fw
