// Device sources pointed at empty folders of the test's own.
#pragma once

#include <filesystem>

#include "scoped_env.h"
#include "temp_dir.h"

namespace testsupport {

// Points both device sources (the hidraw nodes with their sysfs tree, and the virtual
// devices) at empty private folders for as long as it lives, so a test sees only the
// devices it makes itself and never the machine's own.
class IsolatedDevices {
 public:
  IsolatedDevices();

  const std::filesystem::path& sysfsRoot() const { return sysfsRoot_; }
  const std::filesystem::path& devRoot() const { return devRoot_; }
  const std::filesystem::path& virtualDir() const { return virtualDir_; }

 private:
  TempDir root_{"hid-devices"};
  std::filesystem::path sysfsRoot_;
  std::filesystem::path devRoot_;
  std::filesystem::path virtualDir_;
  ScopedEnv sysfsEnv_;
  ScopedEnv devEnv_;
  ScopedEnv virtualEnv_;
};

}  // namespace testsupport
