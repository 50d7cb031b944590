#include "plugin_instance.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "plugin_host.h"

namespace fw {
namespace {

constexpr uint64_t kInstanceMagic = 0x5A75764F626A6563;  // marks blocks the host made

struct InstanceHeader {
  uint64_t magic;
  PluginInstance* owner;
  uint64_t reserved[2];
};
static_assert(sizeof(InstanceHeader) == PluginHost::kDataOffset);

constexpr size_t kBlockAlignment = 16;

size_t BlockSize(const RegisteredClass& cls) {
  const size_t size = PluginHost::kDataOffset + cls.DataSize();
  return (size + kBlockAlignment - 1) / kBlockAlignment * kBlockAlignment;
}

// A class the program declares but no plug-in registered: instances get an empty block, so
// that a missing plug-in can never lead to reads outside it. Start-up refuses to run in that
// case anyway.
ClassDefinition g_unregisteredDefinition{};
const RegisteredClass g_unregistered{&g_unregisteredDefinition, "", 0, {}};

}  // namespace

PluginInstance::PluginInstance(std::string_view className, void* initEntry, void* exitEntry,
                               const ProgramClass* programClass)
    : programClass_(programClass), exitEntry_(exitEntry) {
  const RegisteredClass* cls = PluginHost::Instance().FindClass(className);
  class_ = cls ? cls : &g_unregistered;
  const size_t size = BlockSize(*class_);
  void* block = std::aligned_alloc(kBlockAlignment, size);
  if (!block) throw std::bad_alloc();
  std::memset(block, 0, size);
  auto* header = static_cast<InstanceHeader*>(block);
  header->magic = kInstanceMagic;
  header->owner = this;
  handle_ = static_cast<REALobject>(block);
  // The plug-in's constructor runs before the program's subclass constructor body. It may
  // lock and unlock the object, which must not destroy it before anyone holds it.
  if (initEntry) {
    Retain();
    reinterpret_cast<void (*)(REALobject)>(initEntry)(handle_);
    ReleaseWithoutDestroying();
  }
}

PluginInstance::~PluginInstance() {
  // Keep the object alive while the plug-in's destructor runs: it may lock and unlock it.
  Retain();
  if (exitEntry_) reinterpret_cast<void (*)(REALobject)>(exitEntry_)(handle_);
  auto* header = reinterpret_cast<InstanceHeader*>(handle_);
  header->magic = 0;
  header->owner = nullptr;
  std::free(handle_);
}

PluginInstance* PluginInstance::FromHandle(REALobject handle) {
  if (!handle) return nullptr;
  const auto* header = reinterpret_cast<const InstanceHeader*>(handle);
  return header->magic == kInstanceMagic ? header->owner : nullptr;
}

void* PluginInstance::EventHandler(std::string_view eventName) const {
  if (!programClass_) return nullptr;
  for (const EventBinding& binding : programClass_->events) {
    if (binding.eventName == eventName) return binding.handler;
  }
  return nullptr;
}

int32_t PluginInstance::Field32(size_t fieldOffset) const {
  int32_t value = 0;
  if (FieldInside(fieldOffset)) {
    std::memcpy(&value, ClassData().data() + fieldOffset, sizeof value);
  }
  return value;
}

void PluginInstance::SetField32(size_t fieldOffset, int32_t value) {
  if (FieldInside(fieldOffset)) {
    std::memcpy(ClassData().data() + fieldOffset, &value, sizeof value);
  }
}

bool PluginInstance::FieldInside(size_t fieldOffset) const {
  return fieldOffset <= class_->DataSize() && class_->DataSize() - fieldOffset >= sizeof(int32_t);
}

std::span<uint8_t> PluginInstance::ClassData() const {
  return {reinterpret_cast<uint8_t*>(handle_) + PluginHost::kDataOffset, class_->DataSize()};
}

}  // namespace fw
