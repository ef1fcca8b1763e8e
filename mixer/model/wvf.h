// Waveform overview files (.WVF): one peak pair per 512 samples of an Audio
// Take, named from the Take's id, so that drawing a Part never reads samples.
//
// Layout, little-endian: the version text (string 25, 9 bytes with its NUL),
// the 8-byte TakeId, the u32 entry count n, then n entries of {i16 maximum,
// i16 minimum}. The file is exactly 21 + 4 x n bytes; anything else is
// damaged and refused.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
  kWvfSamplesPerEntry = 512,
  kWvfEntryBytes = 4,
  kWvfVersionSize = 9,
  kWvfIdOffset = 9,
  kWvfIdSize = 8,
  kWvfCountOffset = 17,
  kWvfHeaderSize = 21,
  // Entries fetched and written per step of the build.
  kWvfChunkEntries = 256,
  // Characters of the name made from a TakeId (without extension or NUL).
  kWvfStampNameLength = 8,
};

// One overview entry: the peaks of a block of 512 samples.
struct WvfEntry {
  int16_t max;
  int16_t min;
};
static_assert(sizeof(WvfEntry) == kWvfEntryBytes);

// What a checked header holds.
struct WvfHeader {
  uint8_t id[kWvfIdSize];
  uint32_t entries;
};

// Entries of a Take of `samples` samples: one per started block of 512; a
// Take without samples has none.
uint32_t WvfEntryCount(uint32_t samples);

// Bytes of a file of `entries` entries (fits in 32 bits for every count that
// WvfEntryCount gives).
uint64_t WvfFileSize(uint32_t entries);

// Writes the 21 header bytes: version, id and entry count.
void WvfEncodeHeader(const uint8_t id[kWvfIdSize], uint32_t entries,
                     uint8_t out[kWvfHeaderSize]);

// Checks the header in `bytes` (`size` of them available) against the whole
// file's size: the version text, and 21 + 4 x n == fileSize. 1 and *out
// filled, or 0 (*out untouched) for a short, foreign or damaged file.
int WvfParseHeader(const uint8_t* bytes, size_t size, uint64_t fileSize, WvfHeader* out);

// Copies entries first .. first + count - 1 of a whole file image (checked
// as by WvfParseHeader with fileSize = size) into `out`; 0, nothing copied,
// when the image is damaged or the range lies outside its entries.
int WvfReadEntries(const uint8_t* file, size_t size, uint32_t first, uint32_t count,
                   WvfEntry* out);

// Encodes `count` entries little-endian into out (4 x count bytes).
void WvfEncodeEntries(const WvfEntry* entries, uint32_t count, uint8_t* out);

// The 8-character file name of a TakeId, NUL-terminated in name[9]. Only
// ever encoded, never decoded: it must match the names earlier runs wrote.
void EncodeStampName(const uint8_t id[kWvfIdSize], char name[kWvfStampNameLength + 1]);

// Replaces the file-name part of `path` (everything after its last '\' or
// '/'; all of it when it has none) by the id's stamp name, "." and string 39.
// 1 on success; 0, with the path unchanged, when the buffer of `size` bytes
// is too small.
int WvfCacheNameForId(const uint8_t id[kWvfIdSize], char* path, size_t size);
