#include "isolated_devices.h"

namespace testsupport {
namespace {

std::filesystem::path MadeFolder(const std::filesystem::path& path) {
  std::filesystem::create_directory(path);
  return path;
}

}  // namespace

IsolatedDevices::IsolatedDevices()
    : sysfsRoot_(MadeFolder(root_.path() / "sysfs")),
      devRoot_(MadeFolder(root_.path() / "dev")),
      virtualDir_(MadeFolder(root_.path() / "virtual")),
      sysfsEnv_("UPDATER_HIDRAW_SYSFS_ROOT", sysfsRoot_.string()),
      devEnv_("UPDATER_HIDRAW_DEV_ROOT", devRoot_.string()),
      virtualEnv_("UPDATER_VIRTUAL_HID_DIR", virtualDir_.string()) {}

}  // namespace testsupport
