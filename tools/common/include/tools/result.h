// A value or the reason there is none, for the tools' own libraries (the simulator and the
// packing tool), which are built without the updater's libraries.
#pragma once

#include <utility>
#include <variant>

namespace tools {

template <typename T, typename Error>
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

}  // namespace tools
