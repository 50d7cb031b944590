// The packing tool's command line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "logopack/result.h"

namespace logopack {

struct PackRequest {
  std::filesystem::path hexFile;
  std::filesystem::path pictureFile;  // empty: the generated picture
  std::filesystem::path outFile;
  std::string first;
  std::string version;
  std::string title;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
};

struct ListRequest {
  std::filesystem::path logoFile;
};

struct HelpRequest {};

using Command = std::variant<HelpRequest, PackRequest, ListRequest>;

// Parses the arguments after the program name. Never exits: every problem comes back as an
// Error whose code isUsageError accepts, naming the option.
Result<Command> parseCommandLine(std::span<const std::string_view> args);

std::string_view usageText();

}  // namespace logopack
