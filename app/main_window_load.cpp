// The second step of the update: the firmware text (Intel HEX) into the region images.
#include <cstdint>
#include <string_view>

#include "alerts.h"
#include "background_task.h"
#include "device_geometry.h"
#include "hid.h"
#include "main_window.h"
#include "messages.h"
#include "text_functions.h"

namespace {

constexpr std::string_view kRecordSeparator = "\r\n";  // the Windows line end the text uses
constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

enum RecordType : int32_t { kData = 0, kEndOfFile = 1, kExtendedLinearAddress = 4 };

// The bytes of text from position start (counted from 1), at most length of them; what lies
// past the end is left out.
std::string_view MidB(std::string_view text, size_t start, size_t length = std::string_view::npos) {
  if (start < 1 || start > text.size()) return {};
  return text.substr(start - 1, length);
}

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

// One record's fields, cut by position from the text after the start code.
struct Record {
  int32_t byteCount;
  int32_t address;
  int32_t recordType;
  std::string_view data;
  int32_t checksum;
};

Record Cut(std::string_view rest) {
  Record record{};
  record.byteCount = HID::StringToHex(MidB(rest, 1, 2));
  record.address = HID::StringToHex(MidB(rest, 3, 4));
  record.recordType = HID::StringToHex(MidB(rest, 7, 2));
  const size_t dataDigits = 2 * static_cast<size_t>(record.byteCount);
  record.data = MidB(rest, 9, dataDigits);
  record.checksum = HID::StringToHex(MidB(rest, 9 + dataDigits, 2));
  return record;
}

// The low byte of the two's complement of the sum of the record's bytes before the checksum.
int64_t ComputedChecksum(std::string_view rest, int32_t byteCount) {
  int64_t sum = 0;
  for (int64_t i = 1; i <= int64_t{byteCount} + 4; ++i) {
    sum += HID::StringToHex(MidB(rest, static_cast<size_t>(2 * i - 1), 2));
    fw::RuntimeBackgroundTask();
  }
  return (~sum + 1) & 0xFF;
}

// Writes a data record into every region whose range holds its first byte. Addresses of the
// text are device addresses times the bytes per address; they are compared as 64-bit values,
// so a region near either end of the 32-bit range needs no care. Returns how many of the
// record's bytes landed where programming writes: inside a region that is not of type 3.
int64_t StoreData(const Record& record, int32_t fullAddress) {
  int64_t programmable = 0;
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
        const int32_t value = HID::StringToHex(MidB(record.data, static_cast<size_t>(2 * j + 1), 2));
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
  return programmable;
}

}  // namespace

bool mainWindow::ReadFile() {
  // The text is taken as ASCII bytes as it stands; nothing in it changes.
  const std::string_view text = HID::datafile;
  firmwareBytesForDevice = 0;
  readFileRefusedSilently = false;
  int32_t upperAddress = 0;
  size_t lineStart = 0;
  while (lineStart <= text.size()) {
    const size_t separator = text.find(kRecordSeparator, lineStart);
    const size_t lineEnd = separator == std::string_view::npos ? text.size() : separator;
    const std::string_view line = Trim(text.substr(lineStart, lineEnd - lineStart));
    lineStart = separator == std::string_view::npos ? text.size() + 1 : separator + kRecordSeparator.size();

    if (!line.starts_with(':')) {
      fw::MsgBox("Invalid file format.");
      return false;
    }
    const std::string_view rest = line.substr(1);
    const Record record = Cut(rest);
    const int64_t computed = ComputedChecksum(rest, record.byteCount);
    if (computed != record.checksum) {
      fw::MsgBox("Checksum Error: " + fw::Str(computed) + " <> " + fw::Str(record.checksum));
      return false;
    }
    if (record.recordType == kExtendedLinearAddress) {
      upperAddress = HID::StringToHex(record.data);
    } else if (record.recordType == kEndOfFile) {
      return true;
    } else if (record.recordType == kData) {
      // The 32-bit address space wraps, as the device's does.
      const auto full = static_cast<int32_t>(static_cast<uint32_t>(upperAddress) << 16 | static_cast<uint32_t>(record.address));
      firmwareBytesForDevice += StoreData(record, full);
    } else {
      fw::MsgBox(WithDetail("Invalid file format.", "recordType=" + fw::Str(record.recordType)));
      return false;
    }
    fw::RuntimeBackgroundTask();
  }
  // The text ended without an end-of-file record (or its lines do not end in CR LF, so that
  // it read as one line): refused, but no message of the loader's own says so.
  readFileRefusedSilently = true;
  return false;
}
