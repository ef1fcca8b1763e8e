// The samples of a WAV file as the simulated machine writes it: a 44-byte
// header with the "data" chunk at offset 36, then 32-bit samples.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// Empty when the file is missing or its header is not of that shape.
inline std::vector<int32_t> ReadWavData(const std::string& path) {
  std::vector<int32_t> out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  char head[44];
  if (std::fread(head, 1, 44, f) == 44 && std::memcmp(head + 36, "data", 4) == 0) {
    uint32_t bytes;
    std::memcpy(&bytes, head + 40, 4);
    out.resize(bytes / 4);
    out.resize(std::fread(out.data(), 4, out.size(), f));
  }
  std::fclose(f);
  return out;
}
