// Whether the device a search stands on is the update's. The search logs every device's ids
// and then asks again for the ones it compares, product id first: a device whose product id
// differs is asked three times, a matching one four.
#pragma once

#include <cstdint>
#include <string>

#include "hid.h"
#include "system_log.h"

template <class Device, class IdText>
bool ExamineDevice(Device& device, IdText idText) {
  // Asked one at a time: the operands of one expression would be asked in any order.
  const std::string vendor = idText(device.VendorID());
  const std::string product = idText(device.ProductID());
  fw::System::DebugLog("VendorID: " + vendor + " ProductID: " + product);
  if (device.ProductID() != HID::ProductID) return false;
  if (device.VendorID() != HID::VendorID) return false;
  fw::System::DebugLog("Ger\xC3\xA4t gefunden.");
  return true;
}
