#include "logopack/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace logopack {

namespace {

Error fileError(const std::filesystem::path& path, const std::string& what) {
  return Error{ErrorCode::FileSystem, path.string() + ": " + what + ": " + std::strerror(errno)};
}

}  // namespace

Result<std::string> readWholeFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return fileError(path, "cannot open");
  std::string contents{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return fileError(path, "cannot read");
  return contents;
}

std::optional<Error> replaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::filesystem::path temporary = path;
  temporary += ".partial";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) return fileError(temporary, "cannot create");
    std::copy(bytes.begin(), bytes.end(), std::ostreambuf_iterator<char>(file));
    file.close();
    if (!file) {
      auto error = fileError(temporary, "cannot write");
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return error;
    }
  }
  std::error_code renameError;
  std::filesystem::rename(temporary, path, renameError);
  if (renameError) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return Error{ErrorCode::FileSystem, path.string() + ": cannot put in place: " + renameError.message()};
  }
  return std::nullopt;
}

}  // namespace logopack
