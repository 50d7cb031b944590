// An environment variable set for a while.
#pragma once

#include <optional>
#include <string>

namespace testsupport {

// Sets a variable for the life of the object and restores the old value, or its absence,
// after.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace testsupport
