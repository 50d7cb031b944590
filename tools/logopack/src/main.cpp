// logopack: packs a firmware update into the updater's logo image, and lists what a logo
// image carries.
#include <iostream>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "logopack/actions.h"
#include "logopack/command_line.h"

namespace {

constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;

logopack::Result<std::string> run(const logopack::Command& command) {
  return std::visit(
      [](const auto& request) -> logopack::Result<std::string> {
        using Request = std::decay_t<decltype(request)>;
        if constexpr (std::is_same_v<Request, logopack::HelpRequest>) {
          return std::string(logopack::usageText());
        } else if constexpr (std::is_same_v<Request, logopack::PackRequest>) {
          auto written = logopack::packLogoFile(request);
          if (!written) return written;
          return written.value() + "\n";
        } else {
          return logopack::listLogoFile(request.logoFile);
        }
      },
      command);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (const char* arg : std::span(argv, static_cast<std::size_t>(argc)).subspan(1)) args.emplace_back(arg);

  auto command = logopack::parseCommandLine(args);
  if (!command) {
    std::cerr << "logopack: " << command.error().message << "\nTry 'logopack --help'.\n";
    return kExitUsage;
  }
  auto output = run(command.value());
  if (!output) {
    std::cerr << "logopack: " << output.error().message << '\n';
    return logopack::isUsageError(output.error().code) ? kExitUsage : kExitBadInput;
  }
  std::cout << output.value();
  return 0;
}
