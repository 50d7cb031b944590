// The build-time settings that decide which code paths run. Both are compile-time
// constants, so the paths of the other settings are still compiled (and kept compiling)
// without being taken.
#pragma once

namespace HID {

enum class BuildTarget { macOS, Windows, Other };

#if UPDATER_BUILD_TARGET_ID == 0
inline constexpr BuildTarget kBuildTarget = BuildTarget::macOS;
#elif UPDATER_BUILD_TARGET_ID == 1
inline constexpr BuildTarget kBuildTarget = BuildTarget::Windows;
#elif UPDATER_BUILD_TARGET_ID == 2
inline constexpr BuildTarget kBuildTarget = BuildTarget::Other;
#else
#error "UPDATER_BUILD_TARGET_ID must be 0 (macOS), 1 (Windows) or 2 (Other)"
#endif

// The debug console, the traffic log file and the memory dump. Off in the shipped build.
#if !defined(UPDATER_DEBUG_AIDS_ENABLED)
#error "UPDATER_DEBUG_AIDS_ENABLED must be defined to 0 or 1"
#endif
inline constexpr bool kDebugAids = UPDATER_DEBUG_AIDS_ENABLED != 0;

}  // namespace HID
