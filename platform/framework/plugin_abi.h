// The binary interface between the framework (the host) and its plug-ins.
//
// A plug-in is a shared library that exports one function, REALPluginMain. The host calls
// it with a lookup function that answers host services by name; the plug-in registers its
// classes as definition records made of pointer-sized words. Both sides compile this
// header, so every record layout below is fixed: reorder nothing.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Opaque handles. An object handle points at the instance block the host allocated; a
// plug-in reaches its class data at handle + ClassDefinition::dataOffset.
struct REALobjectStruct;
struct REALmemoryBlockStruct;
typedef REALobjectStruct* REALobject;
typedef REALmemoryBlockStruct* REALmemoryBlock;

// Host strings are reference-counted by the host. A plug-in that reads a string's bytes
// itself takes `text` (whose first byte is a length byte to skip) and `length`.
struct HostStringRecord {
  uintptr_t refCount;   // word 0: owned by the host
  unsigned char* text;  // word 1: a length byte, then the bytes, then a NUL
  uintptr_t encoding;   // word 2: one of the kEncoding values
  uintptr_t length;     // word 3: byte length of the text
};
typedef HostStringRecord* REALstring;

// Text encodings, the platform's values.
constexpr uint32_t kEncodingUTF8 = 0x08000100;
constexpr uint32_t kEncodingUTF16 = 0x100;
constexpr uint32_t kEncodingUTF32 = 0x0C000100;
constexpr uint32_t kEncodingUnknown = 0xFFFF;  // raw bytes, passed unchanged

constexpr uintptr_t kPluginInterfaceVersion = 9;
// Getter and setter both set to this value: a plain field the host reads and writes itself.
constexpr uintptr_t kPlainField = ~uintptr_t{0};

struct MethodDefinition {
  void* function;           // called with the instance first, then the declared arguments
  void* setter;             // 0 for methods
  const char* declaration;  // exactly as the host program declares it
  uintptr_t flags;
};

struct PropertyDefinition {
  uintptr_t reserved0;
  const char* name;
  const char* type;  // "Integer", "String"
  uintptr_t flags;
  void* getter;       // kPlainField, or a getter function (with setter 0: read-only)
  void* setter;       // kPlainField or 0
  uintptr_t fieldOffset;  // offset of a plain field inside the class data
  uintptr_t reserved7[3];
};

struct EventDefinition {
  const char* declaration;  // for example "ReceivedData(data as string, size as integer)"
  uintptr_t hostSlot;       // 0 in the plug-in; the host fills it at registration
};

struct ClassDefinition {
  uintptr_t version;         // word 0: kPluginInterfaceVersion
  const char* name;          // word 1
  const char* superName;     // word 2: 0 for none
  uintptr_t dataSize;        // word 3: rounded up to a multiple of 16 when registered
  uintptr_t dataOffset;      // word 4: written by the host
  void (*constructor)(REALobject);  // word 5
  void (*destructor)(REALobject);   // word 6
  PropertyDefinition* properties;   // words 7, 8
  uintptr_t propertyCount;
  MethodDefinition* methods;        // words 9, 10
  uintptr_t methodCount;
  EventDefinition* events;          // words 11, 12
  uintptr_t eventCount;
  uintptr_t unused13[7];            // words 13-19
  uintptr_t flags;                  // word 20
  uintptr_t unused21[11];           // words 21-31
};

static_assert(sizeof(MethodDefinition) == 4 * sizeof(uintptr_t));
static_assert(sizeof(PropertyDefinition) == 10 * sizeof(uintptr_t));
static_assert(sizeof(EventDefinition) == 2 * sizeof(uintptr_t));
static_assert(sizeof(ClassDefinition) == 32 * sizeof(uintptr_t));
static_assert(offsetof(ClassDefinition, dataOffset) == 4 * sizeof(uintptr_t));
static_assert(offsetof(ClassDefinition, flags) == 20 * sizeof(uintptr_t));
static_assert(offsetof(HostStringRecord, length) == 3 * sizeof(uintptr_t));

// The lookup function the host hands to REALPluginMain: a service by name, or 0.
typedef void* (*HostLookupFunction)(const char* serviceName);
typedef void (*PluginMainFunction)(HostLookupFunction lookup);

// Signatures of the host services, by the names the host answers to.
typedef void (*PluginRegisterClassFn)(ClassDefinition*);              // "PluginRegisterClass"
typedef bool (*REALinRuntimeFn)();                                    // "REALinRuntime"
typedef REALstring (*REALBuildStringFn)(const void*, intptr_t);       // "REALBuildString"
typedef void (*REALSetStringEncodingFn)(REALstring, uint32_t);        // "REALSetStringEncoding"
typedef REALstring (*REALConvertStringFn)(REALstring, uint32_t);      // "REALConvertString"
typedef void (*REALUnlockStringFn)(REALstring);                       // "REALUnlockString"
typedef void (*REALLockObjectFn)(REALobject);                         // "REALLockObject"
typedef void (*REALUnlockObjectFn)(REALobject);                       // "REALUnlockObject"
typedef void* (*GetEventInstanceFn)(REALobject, uintptr_t hostSlot);  // "GetEventInstance"
typedef void* (*MemoryBlockGetPtrFn)(REALmemoryBlock);                // "memoryBlockGetPtr"
typedef intptr_t (*MemoryBlockGetSizeFn)(REALmemoryBlock);            // "memoryBlockGetSize"
typedef void (*RegisterPluginVersionFn)(uintptr_t);                   // "RegisterPluginVersion"
typedef double (*REALGetHostVersionFn)();                             // "REALGetHostVersion"

}  // extern "C"
