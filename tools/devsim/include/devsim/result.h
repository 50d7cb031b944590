// Errors of the device simulator: a code for programs and words for people.
#pragma once

#include <string>

#include "tools/result.h"

namespace devsim {

enum class ErrorCode {
  UnknownOption = 1,
  MissingValue,
  InvalidValue,
  MissingOption,
  ConflictingOptions,
  FileSystem,
  Socket,
  DeviceExists,
};

struct Error {
  ErrorCode code;
  std::string message;
};

template <typename T>
using Result = tools::Result<T, Error>;

}  // namespace devsim
