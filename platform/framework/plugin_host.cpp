#include "plugin_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <system_error>

#include "host_string.h"
#include "memory_block.h"
#include "plugin_instance.h"

namespace fw {
namespace {

// The host services. Each is a plain C function a plug-in calls through a pointer it looked
// up by name.
extern "C" {

void ServiceRegisterClass(ClassDefinition* definition) {
  PluginHost::Instance().RegisterClass(definition);
}

bool ServiceInRuntime() { return PluginHost::Instance().inRuntime; }

REALstring ServiceBuildString(const void* bytes, intptr_t length) {
  if (length < 0 || (!bytes && length > 0)) return nullptr;
  return NewHostString({static_cast<const char*>(bytes), static_cast<size_t>(length)},
                       kEncodingUnknown);
}

void ServiceSetStringEncoding(REALstring s, uint32_t encoding) { SetHostStringEncoding(s, encoding); }

REALstring ServiceConvertString(REALstring s, uint32_t encoding) {
  return ConvertHostString(s, encoding);
}

void ServiceUnlockString(REALstring s) { ReleaseHostString(s); }

void ServiceLockObject(REALobject object) {
  if (PluginInstance* instance = PluginInstance::FromHandle(object)) instance->Retain();
}

void ServiceUnlockObject(REALobject object) {
  if (PluginInstance* instance = PluginInstance::FromHandle(object)) instance->Release();
}

void* ServiceGetEventInstance(REALobject object, uintptr_t slot) {
  PluginInstance* instance = PluginInstance::FromHandle(object);
  const auto* event = reinterpret_cast<const RegisteredEvent*>(slot);
  if (!instance || !event) return nullptr;
  return instance->EventHandler(event->name);
}

void* ServiceMemoryBlockGetPtr(REALmemoryBlock block) {
  if (!block) return nullptr;
  return reinterpret_cast<MemoryBlock*>(block)->Bytes().data();
}

intptr_t ServiceMemoryBlockGetSize(REALmemoryBlock block) {
  if (!block) return 0;
  return static_cast<intptr_t>(reinterpret_cast<MemoryBlock*>(block)->Size());
}

void ServiceRegisterPluginVersion(uintptr_t) {}

double ServiceHostVersion() { return PluginHost::Instance().HostVersion(); }

}  // extern "C"

struct NamedService {
  std::string_view name;
  void* function;
};

const std::array kServices = {
    NamedService{"PluginRegisterClass", reinterpret_cast<void*>(&ServiceRegisterClass)},
    NamedService{"REALinRuntime", reinterpret_cast<void*>(&ServiceInRuntime)},
    NamedService{"REALBuildString", reinterpret_cast<void*>(&ServiceBuildString)},
    NamedService{"REALSetStringEncoding", reinterpret_cast<void*>(&ServiceSetStringEncoding)},
    NamedService{"REALConvertString", reinterpret_cast<void*>(&ServiceConvertString)},
    NamedService{"REALUnlockString", reinterpret_cast<void*>(&ServiceUnlockString)},
    NamedService{"REALLockObject", reinterpret_cast<void*>(&ServiceLockObject)},
    NamedService{"REALUnlockObject", reinterpret_cast<void*>(&ServiceUnlockObject)},
    NamedService{"GetEventInstance", reinterpret_cast<void*>(&ServiceGetEventInstance)},
    NamedService{"memoryBlockGetPtr", reinterpret_cast<void*>(&ServiceMemoryBlockGetPtr)},
    NamedService{"memoryBlockGetSize", reinterpret_cast<void*>(&ServiceMemoryBlockGetSize)},
    NamedService{"RegisterPluginVersion", reinterpret_cast<void*>(&ServiceRegisterPluginVersion)},
    NamedService{"REALGetHostVersion", reinterpret_cast<void*>(&ServiceHostVersion)},
};

// The name of an event: its declaration text up to the argument list.
std::string EventName(const char* declaration) {
  std::string_view text = declaration ? declaration : "";
  return std::string(text.substr(0, text.find('(')));
}

}  // namespace

intptr_t RegisteredClass::PlainFieldOffset(std::string_view property) const {
  for (uintptr_t i = 0; i < definition->propertyCount; ++i) {
    const PropertyDefinition& p = definition->properties[i];
    if (p.name && property == p.name && p.getter == reinterpret_cast<void*>(kPlainField) &&
        p.setter == reinterpret_cast<void*>(kPlainField) && p.fieldOffset + 4 <= DataSize()) {
      return static_cast<intptr_t>(p.fieldOffset);
    }
  }
  return -1;
}

PluginHost& PluginHost::Instance() {
  static PluginHost host;
  return host;
}

void* PluginHost::LookupService(const char* name) {
  return name ? Instance().Service(name) : nullptr;
}

void* PluginHost::Service(std::string_view name) {
  ++lookups_[std::string(name)];
  if (auto hidden = hidden_.find(name); hidden != hidden_.end() && hidden->second) return nullptr;
  for (const NamedService& service : kServices) {
    if (service.name == name) return service.function;
  }
  return nullptr;
}

void PluginHost::HideService(const std::string& name, bool hidden) { hidden_[name] = hidden; }

int PluginHost::ServiceLookups(const std::string& name) const {
  auto it = lookups_.find(name);
  return it == lookups_.end() ? 0 : it->second;
}

namespace {

// Why a definition record cannot be registered, or empty when it can.
std::string DefinitionFault(const ClassDefinition& d) {
  if (!d.name) return "a class without a name";
  const std::string name = d.name;
  if (d.version != kPluginInterfaceVersion) {
    return "class " + name + " rejected: interface version " + std::to_string(d.version);
  }
  if (d.dataSize > PluginHost::kMaxDataSize) {
    return "class " + name + " rejected: class data of " + std::to_string(d.dataSize) + " bytes";
  }
  if ((d.propertyCount && !d.properties) || (d.methodCount && !d.methods) ||
      (d.eventCount && !d.events)) {
    return "class " + name + " rejected: a table with entries but no address";
  }
  return {};
}

}  // namespace

void PluginHost::RegisterClass(ClassDefinition* definition) {
  if (!definition) return;
  if (std::string fault = DefinitionFault(*definition); !fault.empty()) {
    rejections_.push_back(std::move(fault));
    return;
  }
  // Instances keep pointing at their class record, so a class registered again (a plug-in
  // loaded twice) keeps it; only the words the host fills (DataOffset, event slots) are written again.
  if (auto existing = classes_.find(definition->name); existing != classes_.end()) {
    RegisteredClass& cls = *existing->second;
    if (cls.definition != definition) {
      rejections_.push_back("class " + cls.name + " rejected: registered twice");
      return;
    }
    definition->dataOffset = kDataOffset;
    for (const auto& event : cls.events) {
      definition->events[event->index].hostSlot = reinterpret_cast<uintptr_t>(event.get());
    }
    return;
  }
  auto entry = std::make_unique<RegisteredClass>();
  entry->definition = definition;
  entry->name = definition->name;
  entry->dataSize = definition->dataSize;
  definition->dataOffset = kDataOffset;
  for (uintptr_t i = 0; i < definition->eventCount; ++i) {
    auto event = std::make_unique<RegisteredEvent>(
        RegisteredEvent{entry.get(), EventName(definition->events[i].declaration), i});
    definition->events[i].hostSlot = reinterpret_cast<uintptr_t>(event.get());
    entry->events.push_back(std::move(event));
  }
  classes_[entry->name] = std::move(entry);
}

const RegisteredClass* PluginHost::FindClass(std::string_view name) const {
  auto it = classes_.find(name);
  return it == classes_.end() ? nullptr : it->second.get();
}

void* PluginHost::LookupEntrypoint(std::string_view text) const {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return nullptr;
  const RegisteredClass* cls = FindClass(text.substr(0, dot));
  if (!cls) return nullptr;
  const std::string_view member = text.substr(dot + 1);
  const ClassDefinition& def = *cls->definition;
  if (member == "__init") return reinterpret_cast<void*>(def.constructor);
  if (member == "__exit") return reinterpret_cast<void*>(def.destructor);
  for (uintptr_t i = 0; i < def.methodCount; ++i) {
    if (def.methods[i].declaration && member == def.methods[i].declaration) {
      return def.methods[i].function;
    }
  }
  constexpr std::string_view kGetter = ".Get";
  if (member.ends_with(kGetter)) {
    const std::string_view property = member.substr(0, member.size() - kGetter.size());
    for (uintptr_t i = 0; i < def.propertyCount; ++i) {
      const PropertyDefinition& p = def.properties[i];
      if (p.name && property == p.name && p.getter != reinterpret_cast<void*>(kPlainField)) {
        return p.getter;
      }
    }
  }
  return nullptr;
}

std::vector<PluginLoadFailure> PluginHost::LoadPlugins(const std::filesystem::path& folder,
                                                       const std::vector<std::string>& names) {
  std::vector<PluginLoadFailure> failures;
  for (const std::string& name : names) {
    const std::filesystem::path file = folder / (name + ".so");
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
      failures.push_back({file, "file not found"});
      continue;
    }
    // Local binding: each plug-in keeps its own copies of the shared plug-in frame.
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      failures.push_back({file, dlerror()});
      continue;
    }
    auto main = reinterpret_cast<PluginMainFunction>(dlsym(library, "REALPluginMain"));
    if (!main) {
      failures.push_back({file, "no REALPluginMain"});
      dlclose(library);
      continue;
    }
    libraries_.push_back(library);
    main(&PluginHost::LookupService);
  }
  return failures;
}

std::filesystem::path ExecutableFolder() {
  std::error_code error;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path() : exe.parent_path();
}

}  // namespace fw
