// Any bytes as a Take file header: the reader must never read past the file
// or the head, must accept only files whose size agrees with the header, and
// must hand back terminated texts. The input is laid over a valid empty
// Audio Take (version, header, no data), its bytes past the header become
// data, so that the runs reach every header check.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/take.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/take_header_fuzz_" + std::to_string(getpid()) + ".ATAK";
  TakeFileHead head{};
  std::memcpy(head.Version, "TFFV1.5", 8);
  head.Header.Kind = kTakeAudio;
  head.Header.Word1 = 1;
  head.Header.Word3 = 16;
  head.Header.Word4 = 2;
  std::vector<uint8_t> file(sizeof head);
  std::memcpy(file.data(), &head, sizeof head);
  size_t over = std::min(size, size_t{kTakeHeaderSize});
  std::memcpy(file.data() + kTakeVersionSize, data, over);
  file.insert(file.end(), data + over, data + size);

  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  TakeImage image;
  if (ReadTakeHeader(path.c_str(), &image)) {
    if (file.size() != uint64_t{kTakeDataOffset} + image.dataEnd ||
        image.dataStart > image.dataEnd ||
        std::strlen(image.description) >= sizeof image.description)
      __builtin_trap();
  }
  return 0;
}
