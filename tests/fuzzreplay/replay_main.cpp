// The test form of a fuzz target: feeds every file of the folders (or the
// files) named on the command line to LLVMFuzzerTestOneInput once, so that
// the seed corpus and every reproducer kept beside it are replayed by the
// ordinary test run under the sanitizers. A target that crashes or trips a
// sanitizer fails the test; the fuzzing itself runs in scripts/fuzz.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // An empty vector's data() may be null: hand the target a valid pointer.
  static const uint8_t kNothing = 0;
  LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  Replay({});  // the empty input
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(arg, ec)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(arg))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());  // the same order on every machine
      for (const auto& f : files) {
        Replay(f);
        ++replayed;
      }
    } else if (std::filesystem::is_regular_file(arg, ec)) {
      Replay(arg);
      ++replayed;
    } else {
      std::fprintf(stderr, "replay: no such file or folder: %s\n", argv[i]);
      return 2;
    }
  }
  std::printf("replayed %d inputs and the empty one\n", replayed);
  return 0;
}
