#include "replace_file.h"

#include <fstream>
#include <string>

namespace devsim {

std::optional<Error> replaceFile(const std::filesystem::path& path, std::string_view what,
                                 const std::function<void(std::ostream&)>& write) {
  std::filesystem::path aside = path;
  aside += ".tmp";
  {
    std::ofstream out(aside, std::ios::binary | std::ios::trunc);
    write(out);
    out.flush();
    if (!out) return Error{ErrorCode::FileSystem, "cannot write " + std::string(what) + " " + aside.string()};
  }
  std::error_code failure;
  std::filesystem::rename(aside, path, failure);
  if (failure) {
    return Error{ErrorCode::FileSystem,
                 "cannot put " + std::string(what) + " in place at " + path.string() + ": " + failure.message()};
  }
  return std::nullopt;
}

}  // namespace devsim
