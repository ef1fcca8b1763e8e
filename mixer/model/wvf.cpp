#include "mixer/model/wvf.h"

#include <cstring>

#include "mixer/model/util/strtab.h"

namespace {

// Digit k of a stamp name is character k of this alphabet (49 characters).
constexpr char kStampAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ~!@#$&()_-{}'";
constexpr uint32_t kStampBase = sizeof(kStampAlphabet) - 1;
static_assert(kStampBase == 49);

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// The value of a byte read as two BCD digits (each digit 0..15 as stored).
uint32_t BcdValue(uint8_t b) { return 10u * (b >> 4) + (b & 15u); }

// Writes `digits` base-49 digits of v, most significant first; higher digits
// are dropped, so a damaged id still gives a name of fixed length.
void PutBase49(uint32_t v, int digits, char* out) {
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = kStampAlphabet[v % kStampBase];
    v /= kStampBase;
  }
}

// The version text as it is stored: string 25 in 9 bytes, NUL-padded.
void VersionBytes(uint8_t out[kWvfVersionSize]) {
  std::memset(out, 0, kWvfVersionSize);
  const char* text = StrText(IDS_WVF_VERSION);
  size_t len = std::strlen(text);
  if (len > kWvfVersionSize - 1) len = kWvfVersionSize - 1;
  std::memcpy(out, text, len);
}

}  // namespace

uint32_t WvfEntryCount(uint32_t samples) {
  return samples == 0 ? 0 : (samples - 1) / kWvfSamplesPerEntry + 1;
}

uint64_t WvfFileSize(uint32_t entries) {
  return kWvfHeaderSize + uint64_t(kWvfEntryBytes) * entries;
}

void WvfEncodeHeader(const uint8_t id[kWvfIdSize], uint32_t entries,
                     uint8_t out[kWvfHeaderSize]) {
  VersionBytes(out);
  std::memcpy(out + kWvfIdOffset, id, kWvfIdSize);
  WriteU32(out + kWvfCountOffset, entries);
}

int WvfParseHeader(const uint8_t* bytes, size_t size, uint64_t fileSize, WvfHeader* out) {
  if (!bytes || size < kWvfHeaderSize || fileSize < kWvfHeaderSize) return 0;
  uint8_t version[kWvfVersionSize];
  VersionBytes(version);
  if (std::memcmp(bytes, version, kWvfVersionSize) != 0) return 0;
  uint32_t entries = ReadU32(bytes + kWvfCountOffset);
  if (WvfFileSize(entries) != fileSize) return 0;
  std::memcpy(out->id, bytes + kWvfIdOffset, kWvfIdSize);
  out->entries = entries;
  return 1;
}

int WvfReadEntries(const uint8_t* file, size_t size, uint32_t first, uint32_t count,
                   WvfEntry* out) {
  WvfHeader header;
  if (!WvfParseHeader(file, size, size, &header)) return 0;
  if (first > header.entries || count > header.entries - first) return 0;
  const uint8_t* p = file + kWvfHeaderSize + size_t(kWvfEntryBytes) * first;
  for (uint32_t i = 0; i < count; ++i, p += kWvfEntryBytes) {
    out[i].max = int16_t(uint16_t(p[0] | p[1] << 8));
    out[i].min = int16_t(uint16_t(p[2] | p[3] << 8));
  }
  return 1;
}

void WvfEncodeEntries(const WvfEntry* entries, uint32_t count, uint8_t* out) {
  for (uint32_t i = 0; i < count; ++i, out += kWvfEntryBytes) {
    uint16_t max = uint16_t(entries[i].max), min = uint16_t(entries[i].min);
    out[0] = uint8_t(max);
    out[1] = uint8_t(max >> 8);
    out[2] = uint8_t(min);
    out[3] = uint8_t(min >> 8);
  }
}

void EncodeStampName(const uint8_t id[kWvfIdSize], char name[kWvfStampNameLength + 1]) {
  // Day and month are stored 1-based in BCD; one is taken off the byte
  // before its digits are read, so day 10 (0x10 - 1 = 0x0F) counts as 15.
  // Names written by earlier runs depend on exactly this.
  uint32_t day = BcdValue(uint8_t(id[0] - 1));
  uint32_t month = BcdValue(uint8_t(id[1] - 1));
  uint32_t year = 12u * (id[2] & 7u) + month;
  // At most about 6.8e8 for any bytes at all, so 32 bits never overflow;
  // for real dates it stays below 49^5.
  uint32_t v = year * 31 + day;
  v = v * 24 + BcdValue(id[3]);
  v = v * 60 + BcdValue(id[4]);
  v = v * 60 + BcdValue(id[5]);
  PutBase49(v, 5, name);
  PutBase49(uint32_t(id[6]) << 8 | id[7], 3, name + 5);
  name[kWvfStampNameLength] = '\0';
}

int WvfCacheNameForId(const uint8_t id[kWvfIdSize], char* path, size_t size) {
  if (!path || size == 0) return 0;
  size_t dirLen = 0;
  for (size_t i = 0; i < size && path[i]; ++i) {
    if (path[i] == '\\' || path[i] == '/') dirLen = i + 1;
  }
  char stamp[kWvfStampNameLength + 1];
  EncodeStampName(id, stamp);
  const char* ext = StrText(IDS_WVF_EXT);
  size_t need = dirLen + kWvfStampNameLength + 1 + std::strlen(ext) + 1;
  if (need > size) return 0;
  char* p = path + dirLen;
  std::memcpy(p, stamp, kWvfStampNameLength);
  p += kWvfStampNameLength;
  *p++ = '.';
  std::memcpy(p, ext, std::strlen(ext) + 1);
  return 1;
}
