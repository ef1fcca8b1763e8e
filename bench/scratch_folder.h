// Scratch folders of the benchmarks that make files: one per process under
// the temp folder, so that two runs at once never delete each other's files.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

inline std::filesystem::path BenchScratchFolder(const char* name) {
  return std::filesystem::temp_directory_path() / (std::string(name) + "-" + std::to_string(getpid()));
}
