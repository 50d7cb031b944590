// Files as the program sees them: GetFolderItem gives the item for a bare name in the
// application's folder, FolderItem.CreateTextFile opens a new text file there, and
// TextOutputStream.WriteLine writes one line to it. Parent and Child walk from an item, for
// instance from ExecutableFile to the folders beside the program, and OpenAsPicture decodes
// a picture file.
#pragma once

#include <filesystem>
#include <fstream>
#include <string_view>

#include "object.h"
#include "picture.h"

namespace fw {

class TextOutputStream : public Object {
 public:
  explicit TextOutputStream(std::ofstream file) : file_(std::move(file)) {}

  // Writes text and the platform's line end. Each line reaches the file before the call
  // returns, so a log is complete up to the last line even if the program dies.
  void WriteLine(std::string_view text);
  void Close();

 protected:
  ~TextOutputStream() override = default;

 private:
  std::ofstream file_;
};

class FolderItem : public Object {
 public:
  explicit FolderItem(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& NativePath() const { return path_; }
  bool Exists() const;
  // Creates the file, replacing one of the same name, and opens it for writing; nullptr
  // when it cannot be created.
  Ref<TextOutputStream> CreateTextFile() const;

  // The folder holding the item; nullptr at the root of the file system (and for a relative
  // path of one name).
  Ref<FolderItem> Parent() const;
  // The item for name inside this one, by GetFolderItem's rule for names; nullptr for a name
  // that is not a bare file name.
  Ref<FolderItem> Child(std::string_view name) const;
  // The decoded JPEG or TIFF picture; nullptr when the file is missing, unreadable, no
  // picture, truncated or damaged.
  Ref<Picture> OpenAsPicture() const;

 private:
  std::filesystem::path path_;
};

// The item for name inside the application's folder; nullptr for a name that is not a bare
// file name (empty, ".", "..", or with a folder separator).
Ref<FolderItem> GetFolderItem(std::string_view name);

// The folder bare names resolve in: the running executable's folder unless a test moved it.
std::filesystem::path ApplicationFolder();
// Returns the folder set before; an empty path restores the executable's folder.
std::filesystem::path SetApplicationFolder(std::filesystem::path folder);

// The running executable's file, unless a test placed it elsewhere; nullptr when the system
// does not say where it is.
Ref<FolderItem> ExecutableFile();
// Returns the file set before; an empty path restores the running executable's.
std::filesystem::path SetExecutableFile(std::filesystem::path file);

}  // namespace fw
