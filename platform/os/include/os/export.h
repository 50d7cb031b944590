// Marks the functions and constants of the OS layer that other libraries may call. The
// layer is one shared library so that the program and every plug-in see the same run loop,
// event queue and device handles; everything not marked stays private to it.
#pragma once

#define OS_API __attribute__((visibility("default")))
