// Any bytes as an arrangement file: the reader refuses them or reads a
// sound arrangement, never reading outside its blocks. Inputs with the top
// bit of the first byte clear are framed as a file with small consistent
// counts (so they pass the size check and reach the list, link, marker and
// Take checks); the others are written as they are.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/arrfile.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/blockheap.h"
#include "mixer/model/marker.h"
#include "mixer/model/take.h"

namespace {

// Link words: mostly in range, sometimes the end mark or anything.
uint32_t LinkWord(uint8_t b, uint32_t slots) {
  if (b < 0xC0) return slots ? b % slots : 0xFFFFFFFF;
  if (b < 0xF0) return 0xFFFFFFFF;
  return b * 0x01010101u;
}

std::vector<uint8_t> Framed(const uint8_t* data, size_t size) {
  const uint32_t version = data[0] % 7, n = data[1] % 9, m = data[2] % 5, t = data[3] % 4;
  data += 4;
  size -= 4;
  std::vector<uint8_t> img(ArrFileSize(n, m, t), 0);
  size_t k = 0;
  auto next = [&]() -> uint8_t { return size ? data[k++ % size] : 0; };
  for (size_t i = 8; i < img.size(); ++i) img[i] = next();
  char text[8] = "AFFV2.1";
  text[6] = char('1' + version);
  std::memcpy(img.data(), text, 8);
  auto put = [&](size_t at, uint32_t v) { std::memcpy(img.data() + at, &v, 4); };
  put(8, n);
  for (uint32_t tr = 0; tr < kArrTracks; ++tr) put(8 + 12292 + 4 * tr, tr < 4 ? LinkWord(next(), n) : 0xFFFFFFFF);
  for (uint32_t s = 0; s < n; ++s) {
    const size_t at = 8 + 13316 + 128 * size_t{s};
    put(at + 0, next() % 2 ? next() * 1000u : 0xFFFFFFFF);
    put(at + 72, next() % 200);
    put(at + 88, next() % 6);
    put(at + 96, next() * 100u);
    put(at + 124, LinkWord(next(), n));
  }
  const size_t mrk = 8 + 13316 + 128 * size_t{n};
  put(mrk, m);
  put(mrk + 4, LinkWord(next(), m));
  for (uint32_t i = 0; i < m; ++i) put(mrk + 8 + 88 * i + 84, LinkWord(next(), m));
  put(mrk + 8 + 88 * m, t);
  return img;
}

// A folder of its own: the Take search looks through the file's folder.
std::string TempFile() {
  static const std::string path = [] {
    const std::string dir = "/tmp/arrfile_fuzz_" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    return dir + "/a.arr";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int opened = TakeStoreOpen();
  (void)opened;
  if (size < 4) return 0;
  const std::vector<uint8_t> img =
      (data[0] & 0x80) ? std::vector<uint8_t>(data, data + size) : Framed(data, size);
  FILE* f = std::fopen(TempFile().c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(img.data(), 1, img.size(), f);
  std::fclose(f);

  ArrRec* arr = nullptr;
  MrkList* markers = nullptr;
  uint32_t error = 0, tempo = 0;
  const std::string path = TempFile();
  ArrReadRequest req{path.c_str(), &arr, &markers, 0, &tempo, &error};
  if (ReadArrFile(req, nullptr)) {
    // Every list of what was read is walkable and every Part is in use.
    ArrForEachPart(arr, [](uint32_t, uint32_t, const PartRec& p) {
      if (p.Start < 0 || p.Length < 0) __builtin_trap();
    });
    MrkForEach(markers, [](uint32_t, const MrkRec& mk) {
      if (mk.Position == kMrkUnused) __builtin_trap();
    });
  }
  ArrHeap.Free(arr);
  MrkHeap.Free(markers);
  return 0;
}
