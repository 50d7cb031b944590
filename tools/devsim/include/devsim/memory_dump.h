// The device memory as text, for checking what an update left behind.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

#include "devsim/memory.h"
#include "devsim/result.h"

namespace devsim {

void writeMemoryDump(std::ostream& out, const DeviceMemory& memory);

// Replaces `path` as a whole (write aside, then rename), so a reader never sees half a dump.
std::optional<Error> saveMemoryDump(const std::filesystem::path& path, const DeviceMemory& memory);

}  // namespace devsim
