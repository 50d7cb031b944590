#include "folder_item.h"

#include <system_error>
#include <utility>

#include "picture_file.h"
#include "plugin_host.h"
#include "text_functions.h"

namespace fw {
namespace {

std::filesystem::path& FolderOverride() {
  static std::filesystem::path folder;
  return folder;
}

bool IsBareFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace

void TextOutputStream::WriteLine(std::string_view text) {
  if (!file_.is_open()) return;
  file_ << text << EndOfLine;
  file_.flush();
}

void TextOutputStream::Close() { file_.close(); }

bool FolderItem::Exists() const {
  std::error_code error;
  return std::filesystem::exists(path_, error);
}

Ref<TextOutputStream> FolderItem::CreateTextFile() const {
  std::ofstream file(path_, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!file.is_open()) return nullptr;
  return MakeRef<TextOutputStream>(std::move(file));
}

Ref<Picture> FolderItem::OpenAsPicture() const { return ReadPictureFile(path_); }

Ref<FolderItem> GetFolderItem(std::string_view name) {
  if (!IsBareFileName(name)) return nullptr;
  return MakeRef<FolderItem>(ApplicationFolder() / name);
}

std::filesystem::path ApplicationFolder() {
  const std::filesystem::path& folder = FolderOverride();
  return folder.empty() ? ExecutableFolder() : folder;
}

std::filesystem::path SetApplicationFolder(std::filesystem::path folder) {
  return std::exchange(FolderOverride(), std::move(folder));
}

}  // namespace fw
