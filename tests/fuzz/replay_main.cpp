// Replays fuzz inputs without the fuzzer: every file named on the command line, and every file of
// every folder named there, is fed once to the target's LLVMFuzzerTestOneInput. A target that finds
// a broken rule aborts, so the exit status says whether the whole corpus passed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool Replay(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
    return false;
  }
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>()};
  // A heap copy of exactly the input's size, so that a read past its end is caught.
  auto data = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(bytes.size(), 1));
  std::copy(bytes.begin(), bytes.end(), data.get());
  LLVMFuzzerTestOneInput(data.get(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE...\n", argv[0]);
    return 2;
  }
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path path(argv[i]);
    std::error_code error;
    if (fs::is_directory(path, error)) {
      std::vector<fs::path> files;
      for (const auto& entry : fs::directory_iterator(path, error)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      if (error || files.empty()) {
        std::fprintf(stderr, "replay: no inputs in %s\n", path.c_str());
        return 1;
      }
      std::sort(files.begin(), files.end());
      for (const auto& file : files) {
        if (!Replay(file)) return 1;
        ++replayed;
      }
    } else {
      if (!Replay(path)) return 1;
      ++replayed;
    }
  }
  std::printf("replayed %zu input(s)\n", replayed);
  return 0;
}
