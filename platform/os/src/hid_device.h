// The COM-style objects a registry entry is reached through: the plug-in interface and,
// queried from it, the HID device interface.
#pragma once

#include <memory>

#include "os/iokit_hid.h"
#include "registry_entry.h"

namespace os::hid {

// A new plug-in interface for the entry, with one reference for the caller.
IOCFPlugInInterface** createPlugInInterface(std::shared_ptr<const RegistryEntry> entry);

}  // namespace os::hid
