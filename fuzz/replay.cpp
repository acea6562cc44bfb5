// Without libFuzzer: every file named on the command line (every file in a
// named directory) goes through the harness once.  Options (-runs=0 and the
// like, for libFuzzer) are ignored.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "harness.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') continue;
    const fs::path p = fs::absolute(argv[i]);
    if (fs::is_directory(p)) {
      for (const auto& e : fs::directory_iterator(p))
        if (e.is_regular_file()) files.push_back(e.path());
    } else {
      files.push_back(p);
    }
  }
  std::sort(files.begin(), files.end());
  // Read first: the harness changes the working directory.
  std::vector<std::string> inputs;
  for (const fs::path& f : files) {
    std::ifstream in(f, std::ios::binary);
    inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    std::fprintf(stderr, "Running %s\n", files[i].c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(inputs[i].data()), inputs[i].size());
  }
  std::fprintf(stderr, "Replayed %zu inputs.\n", inputs.size());
  return inputs.empty() ? 1 : 0;
}
