#include "runtime_startup.h"

#include <sstream>

#include "plugin_decls/entry_points.h"
#include "plugin_host.h"

namespace fw {

StartupResult StartPluginRuntime(const std::filesystem::path& folder,
                                 const std::vector<std::string>& plugins) {
  const auto failures = PluginHost::Instance().LoadPlugins(folder, plugins);
  const auto unresolved = InitPluginEntrypoints();
  if (unresolved.empty()) return {true, {}};

  // A plug-in call through an unresolved entry would crash: refuse to start instead.
  std::ostringstream message;
  message << "Cannot start: " << unresolved.size()
          << " plug-in declarations the program needs are missing:\n";
  for (const std::string& declaration : unresolved) message << "  " << declaration << "\n";
  message << "Plug-in files looked for:\n";
  for (const std::string& plugin : plugins) {
    const auto file = folder / (plugin + ".so");
    std::string state = "loaded";
    for (const auto& failure : failures) {
      if (failure.file == file) state = failure.reason;
    }
    message << "  " << file.string() << " (" << state << ")\n";
  }
  for (const std::string& rejection : PluginHost::Instance().Rejections()) {
    message << "Refused: " << rejection << "\n";
  }
  return {false, message.str()};
}

}  // namespace fw
