#include "plugin_frame.h"

namespace plugin {
namespace {

HostLookupFunction g_hostLookup = nullptr;

// One cached pointer per host service. A service that is missing stays null and is looked
// up again on the next call.
struct ServiceCache {
  PluginRegisterClassFn registerClass;
  REALinRuntimeFn inRuntime;
  REALBuildStringFn buildString;
  REALSetStringEncodingFn setStringEncoding;
  REALConvertStringFn convertString;
  REALUnlockStringFn unlockString;
  REALLockObjectFn lockObject;
  REALUnlockObjectFn unlockObject;
  GetEventInstanceFn getEventInstance;
  MemoryBlockGetPtrFn memoryBlockGetPtr;
  MemoryBlockGetSizeFn memoryBlockGetSize;
};
ServiceCache g_services{};

template <class Function>
Function Resolve(Function& cached, const char* name) {
  if (!cached && g_hostLookup) cached = reinterpret_cast<Function>(g_hostLookup(name));
  return cached;
}

}  // namespace

void PluginRegisterClass(ClassDefinition* definition) {
  if (auto f = Resolve(g_services.registerClass, "PluginRegisterClass")) f(definition);
}

bool REALinRuntime() {
  auto f = Resolve(g_services.inRuntime, "REALinRuntime");
  return f ? f() : false;
}

REALstring REALBuildString(const void* bytes, intptr_t length) {
  auto f = Resolve(g_services.buildString, "REALBuildString");
  return f ? f(bytes, length) : nullptr;
}

void REALSetStringEncoding(REALstring s, uint32_t encoding) {
  if (auto f = Resolve(g_services.setStringEncoding, "REALSetStringEncoding")) f(s, encoding);
}

REALstring REALConvertString(REALstring s, uint32_t encoding) {
  auto f = Resolve(g_services.convertString, "REALConvertString");
  return f ? f(s, encoding) : nullptr;
}

void REALUnlockString(REALstring s) {
  if (auto f = Resolve(g_services.unlockString, "REALUnlockString")) f(s);
}

void REALLockObject(REALobject object) {
  if (auto f = Resolve(g_services.lockObject, "REALLockObject")) f(object);
}

void REALUnlockObject(REALobject object) {
  if (auto f = Resolve(g_services.unlockObject, "REALUnlockObject")) f(object);
}

void* GetEventInstance(REALobject object, uintptr_t hostSlot) {
  auto f = Resolve(g_services.getEventInstance, "GetEventInstance");
  return f ? f(object, hostSlot) : nullptr;
}

void* memoryBlockGetPtr(REALmemoryBlock block) {
  auto f = Resolve(g_services.memoryBlockGetPtr, "memoryBlockGetPtr");
  return f ? f(block) : nullptr;
}

intptr_t memoryBlockGetSize(REALmemoryBlock block) {
  auto f = Resolve(g_services.memoryBlockGetSize, "memoryBlockGetSize");
  return f ? f(block) : -1;
}

void RegisterClassDefinition(ClassDefinition* definition) {
  while (definition->dataSize & 0xF) ++definition->dataSize;
  PluginRegisterClass(definition);
}

REALstring BuildHostString(const void* bytes, size_t length, uint32_t encoding) {
  if (!bytes || length == 0) return nullptr;
  REALstring s = REALBuildString(bytes, static_cast<intptr_t>(length));
  if (!s) return nullptr;
  REALSetStringEncoding(s, encoding);
  if (encoding != kEncodingUTF16 && encoding != kEncodingUTF32) return s;
  REALstring converted = REALConvertString(s, kEncodingUTF8);
  REALUnlockString(s);
  return converted;
}

REALstring HostStringFromUTF16(std::span<const char16_t> buffer) {
  size_t units = 0;
  while (units < buffer.size() && buffer[units] != 0) ++units;
  return BuildHostString(buffer.data(), units * sizeof(char16_t), kEncodingUTF16);
}

}  // namespace plugin

extern "C" void REALPluginMain(HostLookupFunction hostLookup) {
  using namespace plugin;
  // A new host brings its own services: forget whatever an earlier one answered.
  g_hostLookup = hostLookup;
  g_services = {};
  auto registerVersion =
      reinterpret_cast<RegisterPluginVersionFn>(hostLookup("RegisterPluginVersion"));
  // The host must provide this service; a host that does not gets no announcement rather
  // than a call through a null pointer.
  if (registerVersion) registerVersion(kPluginInterfaceVersion);
  if (auto hostVersion = reinterpret_cast<REALGetHostVersionFn>(hostLookup("REALGetHostVersion"))) {
    hostVersion();
  }
  PluginSetup();
}
