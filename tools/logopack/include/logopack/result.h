// Errors of the packing tool: a code for the program and words for the firmware maker.
#pragma once

#include <string>
#include <utility>
#include <variant>

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

// A value or the reason there is none.
template <typename T>
class Result {
 public:
  Result(T value) : state_(std::move(value)) {}
  Result(Error error) : state_(std::move(error)) {}

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }

  T& value() { return std::get<T>(state_); }
  const T& value() const { return std::get<T>(state_); }
  const Error& error() const { return std::get<Error>(state_); }

 private:
  std::variant<T, Error> state_;
};

}  // namespace logopack
