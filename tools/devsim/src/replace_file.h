// Files that others read while the simulator runs.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string_view>

#include "devsim/result.h"

namespace devsim {

// Replaces `path` as a whole with what `write` puts out (see tools::replaceFile). `what`
// names the file in errors.
std::optional<Error> replaceFile(const std::filesystem::path& path, std::string_view what,
                                 const std::function<void(std::ostream&)>& write);

}  // namespace devsim
