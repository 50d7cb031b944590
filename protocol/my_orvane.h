// The program's device object: the plug-in's HID device class plus a queue of the input
// reports it delivered, and a read that lets the event loop run until a report is there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "memory_block.h"
#include "plugin_decls/orvane_zuv.h"

class MyOrvane : public fw::OrvaneZuv {
 public:
  // The output-report time-out this class sets over the plug-in's own 500 ms.
  static constexpr int32_t kTimeOutMilliseconds = 2222;
  // How long a waiting read waits: 2 seconds.
  static constexpr int64_t ReadTimeoutTicks = 120;

  MyOrvane();

  // The most reports kept unread, as many as the kernel keeps for a hidraw reader that does
  // not read. A read takes the newest, one for each command, so reports further down are
  // never read; but a device that sends without pause while nothing reads (at the Start
  // window, or while a message box waits for the user) would grow the queue without bound.
  static constexpr size_t MostQueuedReports = 64;

  // Received reports not read yet, oldest first; at most MostQueuedReports of them, the
  // oldest dropped (and logged) to make room.
  std::vector<fw::Ref<fw::MemoryBlock>> datas;

  // The plug-in's ReceivedData event: data holds the report's bytes as delivered, size the
  // length the device reported. Every report is queued. One of the wrong length is shown as
  // "Invalid data length received.", unless the box of an earlier one is up: then the skip
  // is only logged, so that a device cannot nest boxes without bound.
  void Event_ReceivedData(const std::string& data, int32_t size);
  void Event_DeviceRemoved(int32_t result);

  // One pass of the operating system's event loop, which delivers pending reports.
  void MyWait();

  // The newest report not read yet, taken out of the queue and marked little-endian; or
  // nullptr. immediate: after one pass of the event loop; otherwise waits up to
  // ReadTimeoutTicks for one to arrive.
  fw::Ref<fw::MemoryBlock> Read(bool immediate);

  // Empties the queue of received reports, one debug-log line for each: called before a
  // command whose answer is then awaited, so that no older report is taken for it.
  void DropQueued();

 protected:
  ~MyOrvane() override = default;

  // Room for the event record WaitNextEvent fills in.
  fw::Ref<fw::MemoryBlock> EventRecord;

 private:
  void Queue(fw::Ref<fw::MemoryBlock> report);
  fw::Ref<fw::MemoryBlock> TakeNewest();
};

// A read when no device is connected: nothing, after the same wait a read of a device makes
// (one pass of the event loop, or ReadTimeoutTicks of passes), so that a caller that reads in
// a loop still lets the event loop run instead of spinning.
fw::Ref<fw::MemoryBlock> ReadWithoutDevice(bool immediate);
