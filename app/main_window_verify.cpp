// The seventh step of the update: every written region read back and compared with its image.
#include <cstdint>
#include <vector>

#include "alerts.h"
#include "background_task.h"
#include "command_packets.h"
#include "device_geometry.h"
#include "device_waits.h"
#include "hid.h"
#include "main_window.h"
#include "messages.h"
#include "text_functions.h"
#include "traffic_log.h"

namespace {

// The address at which Error1 and Error2 are shown for a device with two bytes per address.
constexpr int32_t kErrorOneAddress = 0x1400;

class Verification {
 public:
  explicit Verification(class mainWindow& window) : window_(window) {}

  // Compares every written region; false when an answer did not come in time.
  bool Run();
  bool Failed() const { return failed_; }

 private:
  bool VerifyRegion(const MemoryRegion& region);
  int64_t RequestSize(int64_t addr, int64_t end) const;
  void Compare(const MemoryRegion& region, const fw::MemoryBlock& answer);
  void Differs(int32_t answerAddress, int64_t j);
  void FailUnread(const MemoryRegion& region);

  class mainWindow& window_;
  const int32_t perPacket_ = HID::BytesPerPacket;
  const int32_t bytesPerAddress_ = HID::ImageBytesPerAddress();
  // Addresses per request: a whole number, as the query step admits only such packet sizes.
  const double addressStep_ = static_cast<double>(HID::BytesPerPacket) / HID::ImageBytesPerAddress();
  bool failed_ = false;
  bool reported_ = false;
  // Which bytes of the current region's image an answer has covered.
  std::vector<bool> read_;
};

bool Verification::Run() {
  const size_t regions = HID::DetectedRegionCount();
  for (size_t i = 0; i < regions; ++i) {
    const fw::Ref<MemoryRegion> region = HID::MemoryRegions[i];
    if (region->Type != 3 && !VerifyRegion(*region)) return false;
    fw::RuntimeBackgroundTask();
  }
  return true;
}

// The size of the request at addr: a full packet, or what is left of the region, raised to
// whole addresses.
int64_t Verification::RequestSize(int64_t addr, int64_t end) const {
  int64_t size = perPacket_;
  if (static_cast<double>(end) < static_cast<double>(addr) + addressStep_) {
    size = static_cast<int64_t>(perPacket_ - ((static_cast<double>(addr) + addressStep_) - static_cast<double>(end)) * bytesPerAddress_);
  }
  while (size % bytesPerAddress_ != 0) {
    ++size;
    fw::RuntimeBackgroundTask();
  }
  return size;
}

bool Verification::VerifyRegion(const MemoryRegion& region) {
  // 64-bit, so that the last request of a region at the top of the range cannot overflow.
  int64_t addr = region.Address;
  const int64_t end = int64_t{region.Address} + region.Size;
  int outstanding = 0;
  int64_t askedAt = 0;
  read_.assign(static_cast<size_t>(int64_t{region.Size} * bytesPerAddress_), false);
  auto request = [&] {
    const int64_t size = RequestSize(addr, end);
    if (addr >= end) return;
    HID::SendCommand(HID::GetGetDataCommand(static_cast<int32_t>(addr), static_cast<int32_t>(size)));
    ++outstanding;
    askedAt = fw::Ticks();
    addr = static_cast<int64_t>(static_cast<double>(addr) + addressStep_);
  };
  if (addr < end) request();
  while (outstanding != 0 || addr < end) {
    window_.bar->SetValue(static_cast<int32_t>(static_cast<double>((addr - region.Address) * 400) / region.Size + 100));
    window_.bar->Refresh(true);
    if (outstanding < 1) request();
    if (const fw::Ref<fw::MemoryBlock> answer = HID::ReadCommand(true)) {
      --outstanding;
      Compare(region, *answer);
    } else if (outstanding > 0 && fw::Ticks() - askedAt >= kDataAnswerTicks) {
      return false;
    }
    fw::RuntimeBackgroundTask();
  }
  FailUnread(region);
  return true;
}

// An answer may carry fewer bytes than asked for, and the address moves on all the same: the
// bytes no answer brought back were never compared, so the region cannot count as verified.
void Verification::FailUnread(const MemoryRegion& region) {
  for (size_t pos = 0; pos < read_.size(); ++pos) {
    if (read_[pos]) continue;
    // The fourth byte of every two addresses is not compared with two bytes per address.
    if (bytesPerAddress_ == 2 && (pos % static_cast<size_t>(perPacket_) + 1) % 4 == 0) continue;
    if (!reported_) {
      reported_ = true;
      const auto address = static_cast<uint32_t>(region.Address) + static_cast<uint32_t>(pos / static_cast<size_t>(bytesPerAddress_));
      fw::MsgBox("Verification failed on address " + HID::hex6(static_cast<int32_t>(address)));
    }
    failed_ = true;
    return;
  }
}

// Every report counts as the answer and is compared where its own address puts it. A byte
// that lies outside the region's image, or outside the report's data field, cannot match
// what was written there: it counts as a difference.
void Verification::Compare(const MemoryRegion& region, const fw::MemoryBlock& answer) {
  const int32_t answerAddress = HID::AnswerInt32(answer, HID::AddressOffset);
  const int64_t n = HID::AnswerByte(answer, HID::SizeOffset);
  const int64_t imageBytes = int64_t{region.Size} * bytesPerAddress_;
  int64_t pos = (int64_t{answerAddress} - region.Address) * bytesPerAddress_;
  for (int64_t j = 0; j < n; ++j, ++pos) {
    const int64_t at = static_cast<int64_t>(HID::PacketSize) - n + j;
    const bool comparable = pos >= 0 && pos < imageBytes && region.data && static_cast<uint64_t>(pos) < region.data->Size() &&
                            at >= static_cast<int64_t>(HID::DataOffset) && static_cast<uint64_t>(at) < answer.Size();
    if (comparable) read_[static_cast<size_t>(pos)] = true;
    if (!comparable || region.data->UInt8Value(static_cast<size_t>(pos)) != answer.UInt8Value(static_cast<size_t>(at))) {
      Differs(answerAddress, j);
    }
    fw::RuntimeBackgroundTask();
  }
}

void Verification::Differs(int32_t answerAddress, int64_t j) {
  if (bytesPerAddress_ == 2 && (j + 1) % 4 == 0) return;
  if (bytesPerAddress_ == 2 && answerAddress == kErrorOneAddress) {
    fw::MsgBox("Error1");
    return;
  }
  if (bytesPerAddress_ == 2 && answerAddress == 0) {
    fw::MsgBox("Error2");
    return;
  }
  if (!reported_) {
    reported_ = true;
    fw::MsgBox("Verification failed on address " + HID::hex6(static_cast<int32_t>(static_cast<uint32_t>(answerAddress) + static_cast<uint32_t>(j))));
  }
  failed_ = true;
}

}  // namespace

void mainWindow::Work5() {
  if (!PacketSizeUsable()) return;
  info->SetText("Verify firmware...");
  Verification verification(*this);
  if (!verification.Run()) return GiveUp("Failed to get answer from device.");
  if (verification.Failed()) return GiveUp("Verify failed. Please try again.");
  StartNext();
}
