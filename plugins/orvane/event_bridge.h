// The way input reports and removal reach the program: the IOKit call-backs only copy what
// they got into an event of the plug-in's own class and post it to the main queue; the
// plug-in's Carbon handler raises the object's events from normal event dispatch.
#pragma once

#include <span>

#include "os/iokit_hid.h"
#include "plugin_abi.h"

namespace orvane {

// The class's events, ReceivedData and DeviceRemoved; the host fills their slots when the
// class is registered.
std::span<EventDefinition> ClassEvents();

// Takes the main queue and installs the handler on the application target, once per process.
void InstallEventBridge();

// IOKit call-backs; `target` is the instance.
void ReportCallback(void* target, IOReturn result, void* refcon, void* sender, UInt32 bufferSize);
void RemovalCallback(void* target, IOReturn result, void* refcon, void* sender);

// Removes the events still queued for an instance that is going away, with their report
// copies, so that none of them reaches freed memory.
void DropQueuedEvents(REALobject instance);

}  // namespace orvane
