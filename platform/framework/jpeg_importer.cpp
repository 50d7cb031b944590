#include "jpeg_importer.h"

#include <utility>

#include "jpeg_reader.h"

namespace fw {

void JPEGImporterZuv::Import() {
  JpegFileContents contents;
  if (File) contents = ReadJpegFile(File->NativePath(), ReadMarkers && ReadProfileData);
  ProfileData = std::move(contents.iccProfile);
  Picture = std::move(contents.picture);
}

}  // namespace fw
