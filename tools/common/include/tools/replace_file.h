// Files replaced whole: written aside, then renamed into place, so that a reader never sees
// half a file and a failed run never leaves half a file where a good one was.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace tools {

// Where replacing a file failed, for each tool to put into its own words.
struct ReplaceFailure {
  enum class Step { CreateAside, WriteAside, PutInPlace };
  Step step;
  std::filesystem::path file;  // the copy aside; for PutInPlace the file to replace
  std::string reason;          // the system's words
};

// Writes what `write` puts out to `path` + ".tmp", then renames that over `path`. The copy
// aside is removed when either step fails.
std::optional<ReplaceFailure> replaceFile(const std::filesystem::path& path,
                                          const std::function<void(std::ostream&)>& write);

}  // namespace tools
