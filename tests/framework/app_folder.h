// A temporary application folder for tests of code that writes next to the application.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace framework_test {

// A fresh folder, removed with its files at the end; the application folder while it lives.
class TempAppFolder {
 public:
  TempAppFolder();
  ~TempAppFolder();
  TempAppFolder(const TempAppFolder&) = delete;
  TempAppFolder& operator=(const TempAppFolder&) = delete;
  const std::filesystem::path& path() const { return folder_.path(); }
  std::vector<std::string> Lines(const std::string& file) const;
  std::vector<std::string> FileNames() const;

 private:
  testsupport::TempDir folder_{"app"};
  std::filesystem::path previous_;
};

}  // namespace framework_test
