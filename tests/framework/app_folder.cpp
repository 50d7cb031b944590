#include "app_folder.h"

#include "files.h"
#include "folder_item.h"

namespace framework_test {

TempAppFolder::TempAppFolder() : previous_(fw::SetApplicationFolder(path())) {}

TempAppFolder::~TempAppFolder() { fw::SetApplicationFolder(previous_); }

std::vector<std::string> TempAppFolder::Lines(const std::string& file) const {
  return testsupport::ReadLines(path() / file);
}

std::vector<std::string> TempAppFolder::FileNames() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path())) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

}  // namespace framework_test
