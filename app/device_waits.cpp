#include "device_waits.h"

#include "background_task.h"
#include "hid.h"

fw::Ref<fw::MemoryBlock> WaitForAnswer(int64_t bound) {
  const int64_t start = fw::Ticks();
  fw::Ref<fw::MemoryBlock> answer;
  do {
    answer = HID::ReadCommand(false);
    fw::RuntimeBackgroundTask();
  } while (!answer && fw::Ticks() - start < bound);
  return answer;
}
