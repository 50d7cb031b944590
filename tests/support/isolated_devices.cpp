#include "isolated_devices.h"

namespace testsupport {
namespace {

// Owner-only, whatever the umask: the device layer refuses a device folder others may write.
std::filesystem::path MadeFolder(const std::filesystem::path& path) {
  std::filesystem::create_directory(path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
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
