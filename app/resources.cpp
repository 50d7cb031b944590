#include "resources.h"

namespace {

fw::Ref<fw::Picture>& TrovakCache() {
  static fw::Ref<fw::Picture> picture;
  return picture;
}

}  // namespace

fw::Ref<fw::FolderItem> ResourcesFolder() {
  const fw::Ref<fw::FolderItem> executable = fw::ExecutableFile();
  const fw::Ref<fw::FolderItem> folder = executable ? executable->Parent() : nullptr;
  const fw::Ref<fw::FolderItem> above = folder ? folder->Parent() : nullptr;
  return above ? above->Child("Resources") : nullptr;
}

fw::Ref<fw::Picture> Trovak() {
  fw::Ref<fw::Picture>& cache = TrovakCache();
  if (!cache) {
    if (const fw::Ref<fw::FolderItem> resources = ResourcesFolder()) {
      if (const fw::Ref<fw::FolderItem> file = resources->Child("Trovak.tif")) cache = file->OpenAsPicture();
    }
  }
  return cache;
}

void ReleaseTrovak() { TrovakCache() = nullptr; }
