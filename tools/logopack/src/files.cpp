#include "logopack/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "tools/replace_file.h"

namespace logopack {

namespace {

Error fileError(const std::filesystem::path& path, const std::string& what) {
  return Error{ErrorCode::FileSystem, path.string() + ": " + what + ": " + std::strerror(errno)};
}

std::string stepWords(tools::ReplaceFailure::Step step) {
  switch (step) {
    case tools::ReplaceFailure::Step::CreateAside: return "cannot create";
    case tools::ReplaceFailure::Step::WriteAside: return "cannot write";
    case tools::ReplaceFailure::Step::PutInPlace: break;
  }
  return "cannot put in place";
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
  const auto failure = tools::replaceFile(path, [bytes](std::ostream& out) {
    std::copy(bytes.begin(), bytes.end(), std::ostreambuf_iterator<char>(out));
  });
  if (!failure) return std::nullopt;
  return Error{ErrorCode::FileSystem,
               failure->file.string() + ": " + stepWords(failure->step) + ": " + failure->reason};
}

}  // namespace logopack
