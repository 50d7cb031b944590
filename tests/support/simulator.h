// The device simulator in-process, set up as the tests want it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "devsim/device_server.h"
#include "devsim/options.h"

namespace testsupport {

// A simulated bootloader publishing itself in `folder`; the ids default to the device the
// updater looks for.
devsim::Options SimulatorOptions(const std::filesystem::path& folder, const std::string& name,
                                 std::uint16_t vendorId = 0x1234, std::uint16_t productId = 0x5678);

// The simulator serving on a thread of its own; throws with its reason when it cannot start.
std::unique_ptr<devsim::BackgroundDevice> StartSimulator(const devsim::Options& options);

}  // namespace testsupport
