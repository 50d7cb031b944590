#include "run_process.h"

#include <stdexcept>

#include "background_process.h"

namespace testsupport {

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnvironment) {
  try {
    return BackgroundProcess(argv, extraEnvironment).Finish();
  } catch (const std::runtime_error& notStarted) {
    ProcessResult result;
    result.err = notStarted.what();
    return result;
  }
}

}  // namespace testsupport
