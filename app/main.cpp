// The updater's executable: the runtime's start-up, then the application.
#include <cstdio>

#include "runtime_startup.h"
#include "plugin_host.h"

int main() {
  const fw::StartupResult startup = fw::StartPluginRuntime(fw::ExecutableFolder());
  if (!startup.ok) {
    std::fputs(startup.message.c_str(), stderr);
    return 2;
  }
  return 0;
}
