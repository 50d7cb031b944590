// What the program does for each command, from files to files. The words returned are
// for the program to print.
#pragma once

#include <filesystem>
#include <string>

#include "logopack/command_line.h"
#include "logopack/logo.h"
#include "logopack/result.h"

namespace logopack {

// Reads the firmware and the picture, builds the logo and writes it. Returns one line
// saying what was written.
Result<std::string> packLogoFile(const PackRequest& request);

// The listing of what the logo file carries (see listLogo); its refusal names the file.
Result<LogoListing> listLogoFile(const std::filesystem::path& logoFile);

}  // namespace logopack
