// The program's declaration of the plug-in class TessikZuv, the HID device class of the
// Windows build. Each method calls through its entry with the instance first.
#pragma once

#include <cstdint>
#include <string>

#include "memory_block.h"
#include "plugin_instance.h"

namespace fw {

class TessikZuv : public PluginInstance {
 public:
  TessikZuv();

  std::string PollString();
  Ref<MemoryBlock> PollMemory();
  void Close();
  bool FindFirstDevice();
  bool FindNextDevice();
  std::string Product();
  std::string DevicePath();
  std::string Manufacturer();
  std::string SerialNumber();
  int32_t ProductID();
  int32_t VendorID();
  int32_t VersionNumber();
  bool Connect();
  void Disconnect();
  bool InstallListener(int32_t pollSize);
  int32_t SendMessageMemory(const Ref<MemoryBlock>& data, int32_t offset, int32_t length);
  int32_t SendMessage(const std::string& data);
  std::string ReadMessage(int32_t length);
  Ref<MemoryBlock> ReadMessageMemory(int32_t length);

  std::string LasterrorString();
  int32_t Lasterror() const { return Property("Lasterror"); }
  void SetLasterror(int32_t value) { SetProperty("Lasterror", value); }
  int32_t ReadHandle() const { return Property("ReadHandle"); }
  int32_t WriteHandle() const { return Property("WriteHandle"); }
  int32_t PnPHandle() const { return Property("PnPHandle"); }
  int32_t HidHandle() const { return Property("HidHandle"); }
  int32_t ThreadHandle() const { return Property("ThreadHandle"); }
  int32_t InputReportByteLength() const { return Property("InputReportByteLength"); }
  int32_t OutputReportByteLength() const { return Property("OutputReportByteLength"); }
  int32_t FeatureReportByteLength() const { return Property("FeatureReportByteLength"); }

 protected:
  ~TessikZuv() override = default;

 private:
  int32_t Property(const char* name) const;
  void SetProperty(const char* name, int32_t value);
};

}  // namespace fw
