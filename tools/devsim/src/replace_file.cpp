#include "replace_file.h"

#include <string>

#include "tools/replace_file.h"

namespace devsim {

std::optional<Error> replaceFile(const std::filesystem::path& path, std::string_view what,
                                 const std::function<void(std::ostream&)>& write) {
  const auto failure = tools::replaceFile(path, write);
  if (!failure) return std::nullopt;
  if (failure->step == tools::ReplaceFailure::Step::PutInPlace) {
    return Error{ErrorCode::FileSystem,
                 "cannot put " + std::string(what) + " in place at " + path.string() + ": " + failure->reason};
  }
  return Error{ErrorCode::FileSystem, "cannot write " + std::string(what) + " " + failure->file.string()};
}

}  // namespace devsim
