// The payload road: the logo file as JPEGImporterZuv reads it (colour profile and picture),
// App::LoadData taking the update out of it, and the picture reader that the windows use for
// their pictures (JPEG or TIFF, told apart by the first bytes). The input is the file.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "app.h"
#include "folder_item.h"
#include "fuzz_support.h"
#include "hid.h"
#include "jpeg_importer.h"
#include "picture_file.h"
#include "text_functions.h"
#include "update_payload.h"
#include "zuv_utilities.h"

namespace {

namespace fs = std::filesystem;
using fuzz::Check;

// A program tree of this process's own, <root>/bin/Updater and <root>/Resources/logo.jpg,
// so that LoadData finds the input where it looks for the logo. Removed at exit.
struct ProgramTree {
  fs::path root;
  fs::path logo;

  ProgramTree() {
    root = fs::temp_directory_path() / ("fuzz-logo-" + std::to_string(::getpid()));
    fs::create_directories(root / "bin");
    fs::create_directories(root / "Resources");
    logo = root / "Resources" / "logo.jpg";
    fw::SetExecutableFile(root / "bin" / "Updater");
  }
  ~ProgramTree() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
};

void ResetPayload() {
  HID::dataversion.clear();
  HID::datatitle.clear();
  HID::datafile.clear();
  HID::VendorID = HID::ProductID = 0;
}

std::string Field(const std::string& payload, int n) {
  return fw::NthFieldB(payload, std::string(1, UpdatePayload::kFieldSeparator), n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::QuietProcess();
  static const ProgramTree tree;
  static const fw::Ref<class App> app = fw::MakeRef<class App>();
  const fuzz::StrayAccessGuard guard;
  const std::span<const uint8_t> bytes(data, size);
  {
    std::ofstream file(tree.logo, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  const fw::Ref<fw::JPEGImporterZuv> importer = fw::MakeRef<fw::JPEGImporterZuv>();
  importer->File = fw::MakeRef<fw::FolderItem>(tree.logo);
  importer->ReadMarkers = true;
  importer->ReadProfileData = true;
  importer->Import();
  if (importer->Picture) {
    Check(importer->Picture->Width() * importer->Picture->Height() <= fw::Picture::kMaxPixels, "a picture too large");
  }
  // The profile travels with a decoded picture only.
  Check(importer->ProfileData.empty() || importer->Picture != nullptr, "a profile from a file that did not decode");

  ResetPayload();
  app->logo = nullptr;
  app->LoadData();
  if (importer->ProfileData.empty()) {
    Check(HID::dataversion.empty() && HID::datafile.empty() && HID::VendorID == 0 && app->logo == nullptr,
          "LoadData took something from a logo without an update");
  } else {
    const std::string payload = StringXORZuv(importer->ProfileData, UpdatePayload::kKey);
    Check(payload.size() == importer->ProfileData.size(), "the payload changed length");
    Check(HID::dataversion == Field(payload, UpdatePayload::kVersionField), "version field");
    Check(HID::datatitle == Field(payload, UpdatePayload::kTitleField), "title field");
    Check(HID::VendorID == UpdatePayload::IdFromText(Field(payload, UpdatePayload::kVendorIdField)), "vendor id field");
    Check(HID::ProductID == UpdatePayload::IdFromText(Field(payload, UpdatePayload::kProductIdField)), "product id field");
    Check(HID::datafile == Field(payload, UpdatePayload::kFirmwareField), "firmware field");
    Check(app->logo != nullptr, "an update without its picture");
  }

  (void)fw::ReadPictureFile(tree.logo);
  ResetPayload();
  return 0;
}
