// The program's declaration of the plug-in class OrvaneZuv, the macOS HID device class.
// Each method calls through its entry with the instance first. A program subclass passes its
// ProgramClass so that the plug-in's events reach its handlers.
#pragma once

#include <cstdint>
#include <string>

#include "memory_block.h"
#include "plugin_instance.h"

namespace fw {

class OrvaneZuv : public PluginInstance {
 public:
  explicit OrvaneZuv(const ProgramClass* programClass = nullptr);

  void Close();
  bool FindFirstDevice();
  bool FindNextDevice();
  std::string Product();
  std::string SerialNumber();
  std::string Manufacturer();
  int32_t ProductID();
  int32_t VendorID();
  int32_t VersionNumber();
  void Connect();
  void Disconnect();
  void InstallCallback();
  void SendMessageMemory(const Ref<MemoryBlock>& data, int32_t offset, int32_t length);
  void SendMessage(const std::string& data);
  void SendMessageMemory(int32_t reportID, const Ref<MemoryBlock>& data, int32_t offset,
                         int32_t length);
  void SendMessage(int32_t reportID, const std::string& data);

  int32_t TimeOut() const;
  void SetTimeOut(int32_t milliseconds);
  int32_t Lasterror() const;
  void SetLasterror(int32_t value);

 protected:
  ~OrvaneZuv() override = default;
};

}  // namespace fw
