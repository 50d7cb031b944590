// The folder the simulator publishes its devices in, and what earlier runs left there.
#pragma once

#include <filesystem>
#include <optional>

#include "devsim/result.h"

namespace devsim {

// Creates the folder private to the user. One that is already there must be the user's own
// folder (not a link) that nobody else may write to: /tmp/trovak-hid-<uid> is a name any
// local user can take first, to watch or fake the devices published in it.
std::optional<Error> prepareDeviceFolder(const std::filesystem::path& dir);

// True while the simulator named by the Pid line of a props file still runs. The file is
// all it looks at: asking the device itself would open a session with it.
bool publisherIsAlive(const std::filesystem::path& propsPath);

}  // namespace devsim
