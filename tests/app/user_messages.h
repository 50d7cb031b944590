// The words the updater ends an update with, as the tests expect the user to read them.
#pragma once

#include <string>

namespace app_test {

inline const std::string kInstalled = "Update installed.\n\nPlease disconnect the device and turn it off.";
inline const std::string kNoAnswer = "Failed to get answer from device.";

}  // namespace app_test
