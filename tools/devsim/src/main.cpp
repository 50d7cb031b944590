// devsim: a simulated bootloader device for driving the updater without hardware.
#include <signal.h>

#include <iostream>
#include <span>
#include <string_view>
#include <vector>

#include "devsim/device_server.h"
#include "devsim/options.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

devsim::DeviceServer* g_server = nullptr;

extern "C" void onTerminationSignal(int) {
  if (g_server != nullptr) g_server->requestStop();
}

void setTerminationSignals(int how) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigprocmask(how, &signals, nullptr);
}

void installTerminationHandler() {
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (const char* arg : std::span(argv, static_cast<std::size_t>(argc)).subspan(1)) args.emplace_back(arg);

  auto parsed = devsim::parseCommandLine(args);
  if (!parsed) {
    std::cerr << "devsim: " << parsed.error().message << "\nTry 'devsim --help'.\n";
    return kExitUsage;
  }
  if (parsed.value().helpRequested) {
    std::cout << devsim::usageText();
    return 0;
  }

  // Held back until the server exists, so that a signal arriving early still removes
  // the files instead of killing the process with them in place.
  setTerminationSignals(SIG_BLOCK);
  installTerminationHandler();
  auto server = devsim::DeviceServer::open(parsed.value().options);
  if (!server) {
    std::cerr << "devsim: " << parsed.value().options.name << ": " << server.error().message << '\n';
    return kExitFailure;
  }
  g_server = server.value().get();
  setTerminationSignals(SIG_UNBLOCK);

  std::cout << "READY " << server.value()->socketPath().string() << std::endl;
  server.value()->run();
  g_server = nullptr;
  return 0;
}
