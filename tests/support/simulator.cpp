#include "simulator.h"

#include <stdexcept>

namespace testsupport {

devsim::Options SimulatorOptions(const std::filesystem::path& folder, const std::string& name,
                                 std::uint16_t vendorId, std::uint16_t productId) {
  devsim::Options options;
  options.name = name;
  options.dir = folder;
  options.vendorId = vendorId;
  options.productId = productId;
  return options;
}

std::unique_ptr<devsim::BackgroundDevice> StartSimulator(const devsim::Options& options) {
  auto started = devsim::BackgroundDevice::start(options);
  if (!started) throw std::runtime_error("simulator " + options.name + ": " + started.error().message);
  return std::move(started.value());
}

}  // namespace testsupport
