#include "app_folder.h"

#include <fstream>

#include "folder_item.h"

namespace framework_test {

TempAppFolder::TempAppFolder() : previous_(fw::SetApplicationFolder(path())) {}

TempAppFolder::~TempAppFolder() { fw::SetApplicationFolder(previous_); }

std::vector<std::string> TempAppFolder::Lines(const std::string& file) const {
  std::ifstream in(path() / file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> TempAppFolder::FileNames() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path())) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

}  // namespace framework_test
