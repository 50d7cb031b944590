// Builders for the definition records a plug-in registers, with the flag values this
// framework expects of methods, properties and classes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin_abi.h"

namespace plugin {

constexpr uintptr_t kMethodFlags = 4;
constexpr uintptr_t kPropertyFlags = 6;
constexpr uintptr_t kClassFlags = 4;

template <class Function>
MethodDefinition Method(Function function, const char* declaration) {
  return {reinterpret_cast<void*>(function), nullptr, declaration, kMethodFlags};
}

// An Integer field of the class data that the host reads and writes itself.
inline PropertyDefinition PlainInteger(const char* name, size_t fieldOffset) {
  void* const plain = reinterpret_cast<void*>(kPlainField);
  return {0, name, "Integer", kPropertyFlags, plain, plain, fieldOffset, {}};
}

// A read-only String property computed by the plug-in's getter.
template <class Getter>
PropertyDefinition ComputedString(const char* name, Getter getter) {
  return {0, name, "String", kPropertyFlags, reinterpret_cast<void*>(getter), nullptr, 0, {}};
}

}  // namespace plugin
