#include "app.h"

#include "alerts.h"
#include "build_settings.h"
#include "device_dialog.h"
#include "folder_item.h"
#include "hid.h"
#include "jpeg_importer.h"
#include "main_window.h"
#include "resources.h"
#include "system_log.h"
#include "text_functions.h"
#include "update_payload.h"
#include "zuv_utilities.h"

namespace {

constexpr std::string_view kLogoFileName = "logo.jpg";

// Where each build keeps the logo. No check is made that it exists: a missing file reads as
// an image without an update.
fw::Ref<fw::FolderItem> LogoFile() {
  if constexpr (HID::kBuildTarget == HID::BuildTarget::macOS) {
    const fw::Ref<fw::FolderItem> resources = ResourcesFolder();
    return resources ? resources->Child(kLogoFileName) : nullptr;
  } else if constexpr (HID::kBuildTarget == HID::BuildTarget::Windows) {
    return fw::GetFolderItem(kLogoFileName);
  } else {
    const fw::Ref<fw::FolderItem> libs = fw::GetFolderItem("Updater Libs");
    return libs ? libs->Child(kLogoFileName) : nullptr;
  }
}

}  // namespace

class App* App() { return dynamic_cast<class App*>(fw::TheApplication()); }

void App::Event_Open() {
  fw::System::DebugLog("Start...");
  LoadData();
  if (fw::Len(HID::dataversion) == 0 || fw::LenB(HID::datafile) == 0) {
    fw::MsgBox("Application is not complete.");
    fw::Quit(0);
    return;
  }
  DeviceDialog()->ShowModal();
  if (HID::DeviceFound) {
    mainWindow()->Show();
    return;
  }
  fw::Quit(0);
}

void App::LoadData() {
  const fw::Ref<fw::JPEGImporterZuv> importer = fw::MakeRef<fw::JPEGImporterZuv>();
  importer->File = LogoFile();
  importer->ReadMarkers = true;
  importer->ReadProfileData = true;
  importer->Import();
  const std::string& profile = importer->ProfileData;
  if (profile.empty()) return;

  const std::string payload = StringXORZuv(profile, UpdatePayload::kKey);
  const std::string separator(1, UpdatePayload::kFieldSeparator);
  std::string fields[UpdatePayload::kFieldCount];
  for (int n = 1; n <= UpdatePayload::kFieldCount; ++n) fields[n - 1] = fw::NthFieldB(payload, separator, n);

  HID::dataversion = fields[UpdatePayload::kVersionField - 1];
  HID::datatitle = fields[UpdatePayload::kTitleField - 1];
  HID::VendorID = UpdatePayload::IdFromText(fields[UpdatePayload::kVendorIdField - 1]);
  HID::ProductID = UpdatePayload::IdFromText(fields[UpdatePayload::kProductIdField - 1]);
  HID::datafile = fields[UpdatePayload::kFirmwareField - 1];
  logo = importer->Picture;
}
