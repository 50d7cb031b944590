// The updater's executable: the runtime's start-up, a front end, then the application.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "frontends/qt/qt_front_end.h"
#include "frontends/terminal_front_end.h"
#include "plugin_host.h"
#include "runtime_startup.h"
#include "updater.h"

namespace {

enum class FrontEndKind { kWindows, kTerminal };

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Real windows where there is a display, the terminal otherwise; UPDATER_FRONTEND=qt or
// =terminal chooses either whatever there is. nullopt for any other value.
std::optional<FrontEndKind> ChosenFrontEnd() {
  const char* forced = std::getenv("UPDATER_FRONTEND");
  if (forced == nullptr || *forced == '\0') {
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY") ? FrontEndKind::kWindows : FrontEndKind::kTerminal;
  }
  if (std::string_view(forced) == "qt") return FrontEndKind::kWindows;
  if (std::string_view(forced) == "terminal") return FrontEndKind::kTerminal;
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  // The outputs go where the user sends them: a pipe whose reader has ended (`| head`) or a
  // closed terminal must not end the program, least of all halfway through an update. A write
  // to them fails and is dropped.
  std::signal(SIGPIPE, SIG_IGN);
  const std::optional<FrontEndKind> kind = ChosenFrontEnd();
  if (!kind) {
    std::fputs("UPDATER_FRONTEND must be qt or terminal\n", stderr);
    return 2;
  }
  const fw::StartupResult startup = fw::StartPluginRuntime(fw::ExecutableFolder());
  if (!startup.ok) {
    std::fputs(startup.message.c_str(), stderr);
    return 2;
  }
  if (*kind == FrontEndKind::kWindows) {
    fw::QtFrontEnd frontEnd(argc, argv);
    return RunUpdater();
  }
  fw::TerminalFrontEnd frontEnd(STDIN_FILENO, stdout);
  return RunUpdater();
}
