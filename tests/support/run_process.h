// Runs a program to its end for tests, with its output captured.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// argv[0] is the program's path. extraEnvironment entries are "NAME=value" and are added to
// this process's environment.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnvironment = {});

}  // namespace testsupport
