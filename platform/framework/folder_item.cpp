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

std::filesystem::path& ExecutableOverride() {
  static std::filesystem::path file;
  return file;
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

Ref<FolderItem> FolderItem::Parent() const {
  // "a/b/.." is "a", and "a/b/" names the same item as "a/b".
  std::filesystem::path item = path_.lexically_normal();
  if (!item.has_filename()) item = item.parent_path();
  std::filesystem::path parent = item.parent_path();
  if (parent.empty() || parent == item) return nullptr;
  return MakeRef<FolderItem>(std::move(parent));
}

Ref<FolderItem> FolderItem::Child(std::string_view name) const {
  if (!IsBareFileName(name)) return nullptr;
  return MakeRef<FolderItem>(path_ / name);
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

Ref<FolderItem> ExecutableFile() {
  if (const std::filesystem::path& file = ExecutableOverride(); !file.empty()) {
    return MakeRef<FolderItem>(file);
  }
  std::error_code error;
  std::filesystem::path file = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return nullptr;
  return MakeRef<FolderItem>(std::move(file));
}

std::filesystem::path SetExecutableFile(std::filesystem::path file) {
  return std::exchange(ExecutableOverride(), std::move(file));
}

}  // namespace fw
