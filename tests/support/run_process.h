// Runs a program to its end for tests, with its output captured.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;    // why it did not start, when it did not
};

// argv[0] is the program's path. extraEnvironment entries are "NAME=value"; each replaces the
// variable of that name in this process's environment, or is added.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnvironment = {});

}  // namespace testsupport
