// Errors of the device simulator: a code for programs and words for people.
#pragma once

#include <string>
#include <utility>
#include <variant>

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

// A value or the reason there is none. Small on purpose: the simulator is built
// without the updater's own libraries, so it cannot share their error type.
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

}  // namespace devsim
