// The host side of the plug-in interface: loading plug-in libraries, answering host services
// by name, recording the classes plug-ins register, and resolving the program's entry points
// by declaration text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plugin_abi.h"

namespace fw {

struct RegisteredClass;

struct RegisteredEvent {
  const RegisteredClass* owner;
  std::string name;  // the declaration text up to "("
  size_t index;
};

struct RegisteredClass {
  ClassDefinition* definition;  // owned by the plug-in, lives as long as the process
  std::string name;
  // Taken at registration: instances are allocated and bounds-checked with this size,
  // whatever the plug-in later writes into its record.
  size_t dataSize;
  std::vector<std::unique_ptr<RegisteredEvent>> events;  // stable addresses: the host slots

  size_t DataSize() const { return dataSize; }
  // The field offset of a plain property, or -1 when the class has no such plain field.
  intptr_t PlainFieldOffset(std::string_view property) const;
};

struct PluginLoadFailure {
  std::filesystem::path file;
  std::string reason;
};

class PluginHost {
 public:
  static PluginHost& Instance();

  // Loads <folder>/<name>.so for every name and runs its REALPluginMain. Returns what could
  // not be loaded; the plug-ins that loaded stay loaded.
  std::vector<PluginLoadFailure> LoadPlugins(const std::filesystem::path& folder,
                                             const std::vector<std::string>& names);

  // The lookup function handed to plug-ins.
  static void* LookupService(const char* name);

  // Called by the PluginRegisterClass service. A record that cannot be used safely is
  // refused, and the reason kept for the start-up message.
  void RegisterClass(ClassDefinition* definition);
  const std::vector<std::string>& Rejections() const { return rejections_; }

  // Class data larger than this is taken for a broken record.
  static constexpr uintptr_t kMaxDataSize = 1 << 20;
  const RegisteredClass* FindClass(std::string_view name) const;
  // An entry by its full declaration text ("OrvaneZuv.FindFirstDevice as boolean",
  // "OrvaneZuv.__init", "TessikZuv.LasterrorString.Get"), or nullptr.
  void* LookupEntrypoint(std::string_view text) const;

  // The offset of an instance's class data: the size of the host's instance header.
  static constexpr size_t kDataOffset = 32;

  // Whether the runtime is up (the REALinRuntime service).
  bool inRuntime = true;

  // For tests: make a service unavailable (lookups answer 0) and count lookups by name.
  void HideService(const std::string& name, bool hidden);
  int ServiceLookups(const std::string& name) const;
  double HostVersion() const { return 2026.0; }

 private:
  PluginHost() = default;
  void* Service(std::string_view name);

  std::map<std::string, std::unique_ptr<RegisteredClass>, std::less<>> classes_;
  std::vector<std::string> rejections_;
  std::map<std::string, bool, std::less<>> hidden_;
  std::map<std::string, int, std::less<>> lookups_;
  std::vector<void*> libraries_;
};

// The folder of the running executable, where the host looks for its plug-ins.
std::filesystem::path ExecutableFolder();

}  // namespace fw
