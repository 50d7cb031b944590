// Whole files as text, for setting up and checking what a test's code reads and writes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// Writes the file anew, making its folders first; throws when it cannot.
void WriteFile(const std::filesystem::path& path, const std::string& contents);

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// The file's lines, without their line feeds; none when it cannot be read.
std::vector<std::string> ReadLines(const std::filesystem::path& path);

}  // namespace testsupport
