// Builders for the definition records a plug-in registers, with the flag values this
// framework expects of methods, properties and classes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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

// A class definition record with no superclass, DataOffset 0 (the host writes it) and the
// framework's class flags.
inline ClassDefinition ClassDefinitionFor(const char* name, size_t dataSize,
                                          void (*constructor)(REALobject),
                                          void (*destructor)(REALobject),
                                          std::span<PropertyDefinition> properties,
                                          std::span<MethodDefinition> methods,
                                          std::span<EventDefinition> events = {}) {
  ClassDefinition definition{};
  definition.version = kPluginInterfaceVersion;
  definition.name = name;
  definition.dataSize = dataSize;
  definition.constructor = constructor;
  definition.destructor = destructor;
  definition.properties = properties.data();
  definition.propertyCount = properties.size();
  definition.methods = methods.data();
  definition.methodCount = methods.size();
  definition.events = events.data();
  definition.eventCount = events.size();
  definition.flags = kClassFlags;
  return definition;
}

}  // namespace plugin
