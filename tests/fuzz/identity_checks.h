// What the OS layer promises of a device identity's texts, however the file read: one line,
// and valid UTF-8 once sanitized on its way to the program.
#pragma once

#include <optional>
#include <string>

#include "fuzz_check.h"
#include "utf8.h"

namespace fuzz {

inline void CheckIdentityText(const std::optional<std::string>& text) {
  if (!text) return;
  Check(text->find('\n') == std::string::npos, "a value with a line end");
  Check(os::utf8::utf16Length(os::utf8::sanitized(*text)).has_value(), "a sanitized text that is no UTF-8");
}

}  // namespace fuzz
