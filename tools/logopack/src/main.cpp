// logopack: packs a firmware update into the updater's logo image, and lists what a logo
// image carries.
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "logopack/actions.h"
#include "logopack/command_line.h"

namespace {

constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;

// What the program prints on standard output and, for a logo the updater would refuse, why,
// on standard error.
logopack::Result<logopack::LogoListing> run(const logopack::Command& command) {
  return std::visit(
      [](const auto& request) -> logopack::Result<logopack::LogoListing> {
        using Request = std::decay_t<decltype(request)>;
        if constexpr (std::is_same_v<Request, logopack::HelpRequest>) {
          return logopack::LogoListing{std::string(logopack::usageText()), std::nullopt};
        } else if constexpr (std::is_same_v<Request, logopack::PackRequest>) {
          auto written = logopack::packLogoFile(request);
          if (!written) return written.error();
          return logopack::LogoListing{written.value() + "\n", std::nullopt};
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
  std::cout << output.value().text;
  if (output.value().refusal) {
    std::cout.flush();
    std::cerr << "logopack: " << *output.value().refusal << '\n';
    return kExitBadInput;
  }
  return 0;
}
