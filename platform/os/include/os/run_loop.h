// The main thread's run loop: a set of sources, each a file descriptor with a call-back that
// runs when the descriptor is ready. The event loop (os/event_loop.h) services it.
#pragma once

#include "os/core_foundation.h"
#include "os/export.h"

extern "C" {

struct OSCFRunLoop;
struct OSCFRunLoopSource;
typedef OSCFRunLoop* CFRunLoopRef;
typedef OSCFRunLoopSource* CFRunLoopSourceRef;

// There is one mode; other mode names are treated as this one.
OS_API extern const CFStringRef kCFRunLoopDefaultMode;

// There is one run loop, the main thread's; every thread gets it.
OS_API CFRunLoopRef CFRunLoopGetCurrent(void);
// The run loop retains a source while it holds it; adding it twice keeps one entry.
OS_API void CFRunLoopAddSource(CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFStringRef mode);
OS_API void CFRunLoopRemoveSource(CFRunLoopRef runLoop, CFRunLoopSourceRef source, CFStringRef mode);
OS_API Boolean CFRunLoopContainsSource(CFRunLoopRef runLoop, CFRunLoopSourceRef source,
                                       CFStringRef mode);

// `revents` are the poll(2) events seen on the descriptor.
typedef void (*OSRunLoopDescriptorCallback)(int descriptor, short revents, void* info);
// A source that watches `descriptor` for input (and hang-up) while it is in the run loop.
// The caller keeps ownership of the descriptor.
OS_API CFRunLoopSourceRef OSRunLoopSourceCreateForDescriptor(int descriptor,
                                                             OSRunLoopDescriptorCallback callback,
                                                             void* info);

}  // extern "C"
