// The updater's executable: the runtime's start-up, a front end, then the application.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "frontends/terminal_front_end.h"
#include "plugin_host.h"
#include "runtime_startup.h"
#include "updater.h"

int main() {
  const fw::StartupResult startup = fw::StartPluginRuntime(fw::ExecutableFolder());
  if (!startup.ok) {
    std::fputs(startup.message.c_str(), stderr);
    return 2;
  }
  fw::TerminalFrontEnd frontEnd(STDIN_FILENO, stdout);
  return RunUpdater();
}
