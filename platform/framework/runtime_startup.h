// Start-up of the runtime before the application object exists: load the plug-ins from the
// executable's folder, let them register their classes, and bind the program's entry points.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace fw {

// The plug-in libraries the program is built against, by file stem (<stem>.so).
inline const std::vector<std::string> kProgramPlugins = {"Orvane", "Tessik"};

struct StartupResult {
  bool ok = false;
  std::string message;  // when not ok: what is missing and which files were looked for
};

StartupResult StartPluginRuntime(const std::filesystem::path& folder,
                                 const std::vector<std::string>& plugins = kProgramPlugins);

}  // namespace fw
