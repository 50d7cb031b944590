// The run loop's inside: sources are descriptors with call-backs, and one servicing step
// waits for any of them and runs the ready ones.
#pragma once

#include <functional>
#include <vector>

#include "cf_object.h"
#include "os/run_loop.h"

struct OSCFRunLoopSource final : os::cf::Object {
  static constexpr os::cf::TypeId kTypeId = os::cf::TypeId::RunLoopSource;
  // `descriptor` is asked on every pass, so a source can follow a device that is opened,
  // closed or gone (-1: nothing to watch).
  OSCFRunLoopSource(std::function<int()> descriptor, std::function<void(short revents)> perform)
      : Object(kTypeId), descriptor(std::move(descriptor)), perform(std::move(perform)) {}

  const std::function<int()> descriptor;
  const std::function<void(short revents)> perform;
};

struct OSCFRunLoop final : os::cf::Object {
  static constexpr os::cf::TypeId kTypeId = os::cf::TypeId::RunLoop;
  OSCFRunLoop() : Object(kTypeId, Lifetime::Process) {}

  bool contains(const OSCFRunLoopSource* source) const;
  void add(OSCFRunLoopSource* source);
  void remove(OSCFRunLoopSource* source);
  // Waits up to `maxWaitSeconds` for a source's descriptor to become ready, then runs every
  // ready source once. True when a source ran.
  bool serviceReadySources(double maxWaitSeconds);

 private:
  std::vector<OSCFRunLoopSource*> sources_;  // each retained while held
};

namespace os::runloop {

OSCFRunLoop& mainRunLoop();
CFRunLoopSourceRef createSource(std::function<int()> descriptor, std::function<void(short revents)> perform);

}  // namespace os::runloop
