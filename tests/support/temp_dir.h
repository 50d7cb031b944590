// A folder of the test's own, gone again at the end.
#pragma once

#include <filesystem>
#include <string_view>

namespace testsupport {

// A fresh folder /tmp/<stem>-XXXXXX, removed with everything in it on destruction. Always
// under /tmp, not $TMPDIR: tests make sockets in it, and a socket's path must fit in 108
// bytes.
class TempDir {
 public:
  explicit TempDir(std::string_view stem = "test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace testsupport
