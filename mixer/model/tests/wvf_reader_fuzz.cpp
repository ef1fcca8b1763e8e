// Any bytes as a whole .WVF image: the reader either refuses them or reads
// every entry it accepted without leaving the image.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mixer/model/wvf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WvfHeader header;
  if (!WvfParseHeader(data, size, size, &header)) return 0;
  if (WvfFileSize(header.entries) != size) __builtin_trap();
  std::vector<WvfEntry> entries(header.entries);
  if (!WvfReadEntries(data, size, 0, header.entries, entries.data())) __builtin_trap();
  // One past the end is refused.
  WvfEntry extra;
  if (WvfReadEntries(data, size, header.entries, 1, &extra)) __builtin_trap();
  return 0;
}
