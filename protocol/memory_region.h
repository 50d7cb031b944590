// One region of device memory as the device's query answer lists it, with its image: the
// bytes the firmware puts there, loaded from the HEX text, written and read back.
#pragma once

#include <cstdint>

#include "memory_block.h"
#include "object.h"

class MemoryRegion : public fw::Object {
 public:
  int32_t Size = 0;
  int32_t Address = 0;
  int32_t Type = 0;
  // Size x bytes per address + 10 bytes: the image preset to 0xFF (erased flash), the 10
  // spare bytes after it zero.
  fw::Ref<fw::MemoryBlock> data;

 protected:
  ~MemoryRegion() override = default;
};
