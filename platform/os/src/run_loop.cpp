#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "run_loop_impl.h"
#include "wait_time.h"

bool OSCFRunLoop::contains(const OSCFRunLoopSource* source) const {
  return std::find(sources_.begin(), sources_.end(), source) != sources_.end();
}

void OSCFRunLoop::add(OSCFRunLoopSource* source) {
  if (contains(source)) return;
  source->retain();
  sources_.push_back(source);
}

void OSCFRunLoop::remove(OSCFRunLoopSource* source) {
  const auto position = std::find(sources_.begin(), sources_.end(), source);
  if (position == sources_.end()) return;
  sources_.erase(position);
  source->release();
}

bool OSCFRunLoop::serviceReadySources(double maxWaitSeconds) {
  // Snapshot with an extra reference each: a call-back may remove or release any source,
  // its own included.
  std::vector<OSCFRunLoopSource*> watched;
  std::vector<pollfd> descriptors;
  for (OSCFRunLoopSource* source : sources_) {
    const int descriptor = source->descriptor();
    if (descriptor < 0) continue;
    source->retain();
    watched.push_back(source);
    descriptors.push_back(pollfd{descriptor, POLLIN, 0});
  }

  const timespec timeout = os::runloop::waitTimeFrom(maxWaitSeconds);
  int readyCount = ppoll(descriptors.data(), descriptors.size(), &timeout, nullptr);
  if (readyCount < 0 && errno == EINTR) readyCount = 0;

  bool ran = false;
  for (std::size_t i = 0; i < watched.size(); ++i) {
    if (readyCount > 0 && descriptors[i].revents != 0 && contains(watched[i])) {
      watched[i]->perform(descriptors[i].revents);
      ran = true;
    }
    watched[i]->release();
  }
  return ran;
}

namespace os::runloop {

OSCFRunLoop& mainRunLoop() {
  // Never destroyed: sources may still be removed while other libraries shut down.
  static auto* runLoop = new OSCFRunLoop();
  return *runLoop;
}

CFRunLoopSourceRef createSource(std::function<int()> descriptor, std::function<void(short revents)> perform) {
  return new OSCFRunLoopSource(std::move(descriptor), std::move(perform));
}

}  // namespace os::runloop

namespace {

// Callers may hand in anything; only real objects of both kinds are touched.
bool areRunLoopAndSource(CFRunLoopRef runLoop, CFRunLoopSourceRef source) {
  return os::cf::objectAs<OSCFRunLoop>(runLoop) != nullptr && os::cf::objectAs<OSCFRunLoopSource>(source) != nullptr;
}

}  // namespace

extern "C" {

const CFStringRef kCFRunLoopDefaultMode = CFSTR("kCFRunLoopDefaultMode");

CFRunLoopRef CFRunLoopGetCurrent(void) { return &os::runloop::mainRunLoop(); }

void CFRunLoopAddSource(CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFStringRef) {
  if (areRunLoopAndSource(runLoop, source)) runLoop->add(source);
}

void CFRunLoopRemoveSource(CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFStringRef) {
  if (areRunLoopAndSource(runLoop, source)) runLoop->remove(source);
}

Boolean CFRunLoopContainsSource(CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFStringRef) {
  const OSCFRunLoop* loop = os::cf::objectAs<OSCFRunLoop>(runLoop);
  return loop != nullptr && loop->contains(source);
}

CFRunLoopSourceRef OSRunLoopSourceCreateForDescriptor(int descriptor, OSRunLoopDescriptorCallback callback,
                                                      void* info) {
  if (descriptor < 0 || callback == nullptr) return nullptr;
  return os::runloop::createSource([descriptor] { return descriptor; },
                                   [descriptor, callback, info](short revents) { callback(descriptor, revents, info); });
}

}  // extern "C"
