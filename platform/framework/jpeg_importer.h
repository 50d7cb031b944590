// The JPEG importer the program reads its logo with: set File and what to read, call
// Import, then take ProfileData (the embedded ICC colour profile) and Picture.
#pragma once

#include <string>

#include "folder_item.h"
#include "object.h"
#include "picture.h"

namespace fw {

class JPEGImporterZuv : public Object {
 public:
  Ref<FolderItem> File;
  // Whether Import keeps the file's application markers. The colour profile travels in
  // them, so ProfileData needs this as well as ReadProfileData.
  bool ReadMarkers = false;
  bool ReadProfileData = false;

  // Reads File anew, replacing what an earlier Import gave. A file that is missing, no
  // JPEG, truncated or damaged gives neither profile nor picture; a damaged set of profile
  // chunks costs only the profile.
  void Import();

  // The profile's bytes exactly as embedded, its chunks joined in sequence order; empty when
  // there is none or it was not asked for.
  std::string ProfileData;
  // The decoded image; nullptr when it cannot be decoded.
  Ref<fw::Picture> Picture;

 protected:
  ~JPEGImporterZuv() override = default;
};

}  // namespace fw
