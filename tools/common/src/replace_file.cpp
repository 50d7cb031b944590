#include "tools/replace_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <utility>

namespace tools {

std::optional<ReplaceFailure> replaceFile(const std::filesystem::path& path,
                                          const std::function<void(std::ostream&)>& write) {
  std::filesystem::path aside = path;
  aside += ".tmp";
  // The reason is taken before the copy aside is removed, which may change errno.
  auto failed = [&aside](ReplaceFailure::Step step, std::filesystem::path file, std::string reason) {
    std::error_code ignored;
    std::filesystem::remove(aside, ignored);
    return ReplaceFailure{step, std::move(file), std::move(reason)};
  };
  {
    std::ofstream out(aside, std::ios::binary | std::ios::trunc);
    if (!out) return failed(ReplaceFailure::Step::CreateAside, aside, std::strerror(errno));
    write(out);
    out.close();
    if (!out) return failed(ReplaceFailure::Step::WriteAside, aside, std::strerror(errno));
  }
  std::error_code renameError;
  std::filesystem::rename(aside, path, renameError);
  if (renameError) return failed(ReplaceFailure::Step::PutInPlace, path, renameError.message());
  return std::nullopt;
}

}  // namespace tools
