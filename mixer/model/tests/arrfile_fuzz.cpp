// Any bytes as an arrangement file: the reader refuses them or reads a
// sound arrangement, never reading outside its blocks, and what it reads
// flattens without overflow. Inputs with the top bit of the first byte set
// are the file itself from the second byte on. The others are framed as a
// file with small consistent counts, Part fields mostly near their ranges,
// a marker chain mostly in order and a Take table naming the Takes of the
// file's folder (one of each kind, a Midi one counting ticks), so that runs
// pass the size check and reach the list, value, marker, Take-binding and
// length checks, the repairs and the settings.
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
#include "mixer/model/takeattr.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"

namespace {

// The folder of the file, with the Takes the framed files name.
struct Folder {
  std::string native;  // for fopen
  std::string model;   // as the model writes paths, ending in '\'
  std::vector<TakeId> ids;
};

const Folder& TheFolder() {
  static const Folder folder = [] {
    Folder f;
    f.native = "/tmp/arrfile_fuzz_" + std::to_string(getpid());
    mkdir(f.native.c_str(), 0700);
    f.model = f.native + "\\";
    TakeStoreOpen();
    uint32_t error = 0;
    TakeRec* takes[] = {
        TakeCreateAudio(f.model.c_str(), 2, 1000, 0, 48000, 0, 0, "a", nullptr, nullptr, nullptr,
                        &error),
        TakeCreateAutom(f.model.c_str(), 100, 0, 0, 800, 0, 0, 0, 0, "c", nullptr, nullptr, nullptr,
                        &error),
        TakeCreateMidi(f.model.c_str(), 480, 50, 0, 600, 0, 0, 0, 0, "m", nullptr, nullptr, nullptr,
                       &error),
    };
    for (TakeRec* t : takes)
      if (t != nullptr) f.ids.push_back(*reinterpret_cast<const TakeId*>(TakeGetAttr(t, kTakeAttrId)));
    return f;
  }();
  return folder;
}

// Link words: mostly in range, sometimes the end mark or anything.
uint32_t LinkWord(uint8_t b, uint32_t slots) {
  if (b < 0xC0) return slots ? b % slots : 0xFFFFFFFF;
  if (b < 0xF0) return 0xFFFFFFFF;
  return b * 0x01010101u;
}

std::vector<uint8_t> Framed(const uint8_t* data, size_t size, const std::vector<TakeId>& ids) {
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
  auto put16 = [&](size_t at, uint16_t v) { std::memcpy(img.data() + at, &v, 2); };
  put(8, n);
  for (uint32_t tr = 0; tr < kArrTracks; ++tr) put(8 + 12292 + 4 * tr, tr < 4 ? LinkWord(next(), n) : 0xFFFFFFFF);
  static const uint16_t kinds[] = {3, 20, 21, 7};
  for (uint32_t s = 0; s < n; ++s) {
    const size_t at = 8 + 13316 + 128 * size_t{s};
    put(at + 0, next() % 2 ? next() * 1000u : 0xFFFFFFFF);
    put(at + 72, next() % 200);
    img[at + 76] = next() % 9;
    img[at + 77] = next() % 9;
    put16(at + 78, next() % 9);
    put(at + 80, next() * 300u);
    put(at + 84, next() * 300u);
    put(at + 88, next() % 6);
    put(at + 92, next() % 8 ? next() * 4u : next() * 0x01010101u);
    put(at + 96, next() * 8u);
    put16(at + 100, kinds[next() % 4]);
    put16(at + 106, next() % 8 ? next() % 4 : 0xFFFF);
    put(at + 116, static_cast<uint32_t>((int32_t{next()} - 64) * 8));
    put(at + 124, LinkWord(next(), n));
  }
  const size_t mrk = 8 + 13316 + 128 * size_t{n};
  put(mrk, m);
  if (next() % 2) {  // a chain in position order
    put(mrk + 4, m ? 0 : 0xFFFFFFFF);
    for (uint32_t i = 0; i < m; ++i) {
      put(mrk + 8 + 88 * i, i * 100u + next());
      put(mrk + 8 + 88 * i + 84, i + 1 < m ? i + 1 : 0xFFFFFFFF);
    }
  } else {
    put(mrk + 4, LinkWord(next(), m));
    for (uint32_t i = 0; i < m; ++i) put(mrk + 8 + 88 * i + 84, LinkWord(next(), m));
  }
  const size_t table = mrk + 8 + 88 * size_t{m};
  put(table, t);
  for (uint32_t i = 0; i < t; ++i) {
    const uint8_t pick = next() % 4;
    if (pick < ids.size()) std::memcpy(img.data() + table + 4 + 8 * i, &ids[pick], 8);
  }
  return img;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Folder& folder = TheFolder();
  Host().Reset();
  Services().Reset();
  if (size < 4) return 0;
  const std::vector<uint8_t> img =
      (data[0] & 0x80) ? std::vector<uint8_t>(data + 1, data + size) : Framed(data, size, folder.ids);
  FILE* f = std::fopen((folder.native + "/a.arr").c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(img.data(), 1, img.size(), f);
  std::fclose(f);

  ArrRec* arr = nullptr;
  MrkList* markers = nullptr;
  uint32_t error = 0, tempo = 0;
  const std::string path = folder.model + "a.arr";
  ArrReadRequest req{path.c_str(), &arr, &markers, 1, &tempo, &error};
  if (ReadArrFile(req, nullptr)) {
    // Every list of what was read is walkable and every Part is in use,
    // with its values in their ranges.
    ArrForEachPart(arr, [](uint32_t, uint32_t, const PartRec& p) {
      if (p.Start < 0 || p.Length < 0 || p.Offset < 0 || p.FadeCurve > 7 || p.Layer < 0 ||
          (p.SnapPoint != 0 && (p.SnapPoint < 0 || p.SnapPoint >= p.Length)))
        __builtin_trap();
    });
    MrkForEach(markers, [](uint32_t, const MrkRec& mk) {
      if (mk.Position < 0) __builtin_trap();
    });
    uint32_t flatError = 0;
    arr = ArrFlattenCopy(arr, &flatError);
  }
  ArrHeap.Free(arr);
  MrkHeap.Free(markers);
  return 0;
}
