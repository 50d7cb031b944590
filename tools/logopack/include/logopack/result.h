// Errors of the packing tool: a code for the program and words for the firmware maker.
#pragma once

#include <string>

#include "tools/result.h"

namespace logopack {

enum class ErrorCode {
  // The command line is wrong: the program answers with its usage exit code.
  UnknownOption = 1,
  MissingValue,
  MissingOption,
  ConflictingOptions,
  InvalidValue,
  InvalidField,
  // An input or output file is wrong or cannot be had.
  FileSystem,
  BadHexRecord,
  OverlappingData,
  EmptyFirmware,
  PayloadTooLarge,
  BadPicture,
  NoProfile,
  JpegFailure,
};

// True for the codes that say the command line itself was wrong.
bool isUsageError(ErrorCode code);

struct Error {
  ErrorCode code;
  std::string message;

  // The same error, its message prefixed with where it happened ("fw.hex: line 3: ...").
  Error within(const std::string& context) const { return Error{code, context + ": " + message}; }
};

template <typename T>
using Result = tools::Result<T, Error>;

}  // namespace logopack
