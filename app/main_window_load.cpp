// The second step of the update: the firmware text (Intel HEX) into the region images.
#include <cstdint>
#include <string>

#include "alerts.h"
#include "background_task.h"
#include "device_geometry.h"
#include "firmware_text.h"
#include "hid.h"
#include "main_window.h"
#include "text_functions.h"

namespace {

// The loader's sink: each data record goes into the regions whose range holds it, and the
// framework gets its turns while the text is read.
class RegionImages : public FirmwareText::RecordSink {
 public:
  void Data(const FirmwareText::Record& record, int32_t fullAddress) override;
  void Yield() override { fw::RuntimeBackgroundTask(); }

  // How many bytes landed where programming writes: inside a region that is not of type 3.
  int64_t programmable = 0;
};

// Writes a data record into every region whose range holds its first byte. Addresses of the
// text are device addresses times the bytes per address; they are compared as 64-bit values,
// so a region near either end of the 32-bit range needs no care.
void RegionImages::Data(const FirmwareText::Record& record, int32_t fullAddress) {
  const int64_t bytesPerAddress = HID::ImageBytesPerAddress();
  const size_t regions = HID::DetectedRegionCount();
  for (size_t i = 0; i < regions; ++i) {
    const MemoryRegion& region = *HID::MemoryRegions[i];
    const int64_t first = int64_t{region.Address} * bytesPerAddress;
    const int64_t end = (int64_t{region.Address} + region.Size) * bytesPerAddress;
    if (first <= fullAddress && fullAddress < end) {
      // One address unit past the region's end may still be written: the image's spare
      // bytes take it.
      const int64_t limit = (int64_t{region.Size} + 1) * bytesPerAddress;
      for (int32_t j = 0; j < record.byteCount; ++j) {
        const int32_t value = record.DataByte(j);
        const int64_t p = fullAddress - first + j;
        if (p >= limit) {
          fw::MsgBox("Warning: p=" + fw::Str(p) + " over limit=" + fw::Str(limit));
          break;
        }
        if (region.data && static_cast<uint64_t>(p) < region.data->Size()) {
          region.data->SetUInt8Value(static_cast<size_t>(p), static_cast<uint8_t>(value));
        }
        if (region.Type != 3 && p < int64_t{region.Size} * bytesPerAddress) ++programmable;
        fw::RuntimeBackgroundTask();
      }
    }
    fw::RuntimeBackgroundTask();
  }
}

}  // namespace

bool mainWindow::ReadFile() {
  // The text is taken as ASCII bytes as it stands; nothing in it changes.
  RegionImages images;
  const FirmwareText::Outcome outcome = FirmwareText::Read(HID::datafile, images);
  const std::string message = FirmwareText::RefusalMessage(outcome);
  if (!message.empty()) fw::MsgBox(message);
  firmwareBytesForDevice = images.programmable;
  readFileRefusedSilently = outcome.verdict != FirmwareText::Verdict::Loaded && message.empty();
  return outcome.verdict == FirmwareText::Verdict::Loaded;
}
