// The application's resources: the folder beside the program's own folder, and the maker's
// picture kept from there.
#pragma once

#include "folder_item.h"
#include "picture.h"

// The executable's parent's parent, then "Resources"; nullptr when the executable lies too
// near the root of the file system.
fw::Ref<fw::FolderItem> ResourcesFolder();

// The maker's picture "Trovak.tif", read on first use and kept; nullptr (and tried again on
// the next call) while it cannot be read.
fw::Ref<fw::Picture> Trovak();
// Drops the kept picture, at the end of the program.
void ReleaseTrovak();
