// The plug-in side of the framework's plug-in interface, shared by every plug-in: the entry
// point, cached host services, class registration and host strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "plugin_abi.h"

#define PLUGIN_EXPORT __attribute__((visibility("default")))

extern "C" PLUGIN_EXPORT void REALPluginMain(HostLookupFunction hostLookup);

namespace plugin {

// Defined by each plug-in: installs what it needs and registers its class. Runs inside
// REALPluginMain, after the interface version has been announced.
void PluginSetup();

// Host services. Each resolves its service by name on first use and caches it; while the
// service is missing it answers with the fallback given and tries again on the next call.
void PluginRegisterClass(ClassDefinition* definition);          // fallback: nothing registered
bool REALinRuntime();                                            // fallback: false
REALstring REALBuildString(const void* bytes, intptr_t length);  // fallback: nil
void REALSetStringEncoding(REALstring s, uint32_t encoding);     // fallback: nothing
REALstring REALConvertString(REALstring s, uint32_t encoding);   // fallback: nil
void REALUnlockString(REALstring s);                             // fallback: nothing
void REALLockObject(REALobject object);                          // fallback: nothing
void REALUnlockObject(REALobject object);                        // fallback: nothing
void* GetEventInstance(REALobject object, uintptr_t hostSlot);   // fallback: 0
void* memoryBlockGetPtr(REALmemoryBlock block);                  // fallback: 0
intptr_t memoryBlockGetSize(REALmemoryBlock block);              // fallback: -1 (unknown)

// Rounds the class data size up to a multiple of 16, then registers the class.
void RegisterClassDefinition(ClassDefinition* definition);

// A host string of the given bytes in the given encoding, or nil for no bytes. UTF-16 and
// UTF-32 text is handed to the host as UTF-8.
REALstring BuildHostString(const void* bytes, size_t length, uint32_t encoding);
// UTF-16 text ended by a 16-bit zero, as a UTF-8 host string (nil for nil or empty text).
// The text never reaches past its buffer: without a zero unit it ends with the buffer.
REALstring HostStringFromUTF16(std::span<const char16_t> buffer);

// The class data of an instance: the instance plus the DataOffset the host wrote.
template <class Data>
Data* ClassData(REALobject instance, const ClassDefinition& definition) {
  return reinterpret_cast<Data*>(reinterpret_cast<unsigned char*>(instance) +
                                 definition.dataOffset);
}

}  // namespace plugin
