// The fuzz targets without libFuzzer: each argument is an input file or a folder of them
// (a corpus), and every input is run once through LLVMFuzzerTestOneInput. The gcc builds
// run the checked-in corpora this way as tests, so that every finding stays fixed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The files of a folder in name order, so that a run is the same everywhere.
std::vector<fs::path> InputsOf(const fs::path& argument) {
  if (!fs::is_directory(argument)) return {argument};
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(argument)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  const std::span<char*> given(argv, static_cast<size_t>(argc));
  const std::vector<std::string> arguments(given.begin() + 1, given.end());
  size_t replayed = 0;
  for (const std::string& argument : arguments) {
    if (!fs::exists(argument)) {
      std::fprintf(stderr, "replay: %s does not exist\n", argument.c_str());
      return 1;
    }
    for (const fs::path& input : InputsOf(argument)) {
      const std::vector<uint8_t> bytes = ReadAll(input);
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  // A corpus that went missing must not pass as a run of nothing.
  if (replayed == 0) {
    std::fprintf(stderr, "replay: no input to run\n");
    return 1;
  }
  std::printf("replayed %zu inputs\n", replayed);
  return 0;
}
