// Core Foundation text as host strings.
#pragma once

#include "os/core_foundation.h"
#include "plugin_abi.h"

namespace orvane {

// The text of a Core Foundation string as a new UTF-8 host string; nil for a nil or empty
// string, for a value that is not a string, and for text that cannot be converted.
REALstring HostStringFromCFString(CFStringRef string);

}  // namespace orvane
