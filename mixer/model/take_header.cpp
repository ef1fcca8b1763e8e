// The Take file head: validation, reading, writing; kind names; Take ids.
#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "mixer/model/util/paths.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "mixer/model/take.h"

static_assert(std::endian::native == std::endian::little,
              "Take files are little-endian and read by copying the record");

namespace {

struct KindNames {
  uint32_t kind;
  uint32_t ext;
  uint32_t name;
};
constexpr KindNames kKinds[] = {
    {kTakeAudio, IDS_TAKE_EXT_AUDIO, IDS_AUDIO_TAKE},
    {kTakeAutom, IDS_TAKE_EXT_AUTOM, IDS_AUTOM_TAKE},
    {kTakeMidi, IDS_TAKE_EXT_MIDI, IDS_MIDI_TAKE},
};

const KindNames* FindKind(uint32_t kind) {
  for (const KindNames& k : kKinds)
    if (k.kind == kind) return &k;
  return nullptr;
}

// The version text as written: string 23 in an 8-byte zeroed buffer.
void VersionBytes(char out[kTakeVersionSize]) {
  std::memset(out, 0, kTakeVersionSize);
  StrLoad(IDS_TAKE_VERSION, out, kTakeVersionSize);
}

bool KindWordsValid(const TakeHeader& h) {
  switch (h.Kind) {
    case kTakeAudio:
      return h.Word1 == 1 && h.Word2 == 0 && (h.Word3 == 16 || h.Word3 == 24) &&
             (h.Word4 == 2 || h.Word4 == 3);
    case kTakeAutom:
      return h.Word2 == 0;
    case kTakeMidi:
      return static_cast<int32_t>(h.Word2) >= 0;
    default:
      return true;
  }
}

// Characters of the file-name stem (name without its extension).
int StemLength(const char* path) {
  const char* name = PathFindName(path);
  return static_cast<int>(PathFindExt(path, 0) - name);
}

void FillImage(const char* path, const TakeHeader& h, TakeImage* image) {
  *image = TakeImage{};
  StrCopyN(image->path, path, sizeof image->path);
  std::memcpy(image->description, h.Description, sizeof image->description);
  image->description[sizeof image->description - 1] = '\0';
  FioFileTimes(path, &image->created, &image->modified);
  image->id = h.Id;
  image->creatorValue = h.CreatorValue;
  image->sampleRate = h.SampleRate;
  image->frameRate = h.FrameRate;
  image->tcStamp = h.TcStamp;
  image->kind = h.Kind;
  if (h.Kind == kTakeAudio || h.Kind == kTakeAutom || h.Kind == kTakeMidi) {
    image->word1 = h.Word1;
    image->word2 = h.Word2;
    image->word3 = h.Word3;
    image->word4 = h.Kind == kTakeMidi ? 0 : h.Word4;
  }
  image->dataOffset = kTakeDataOffset;
  image->dataStart = h.DataStart;
  image->dataEnd = h.DataEnd;
}

uint8_t Bcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }

std::tm LocalNow() {
  std::time_t t = std::time(nullptr);
  std::tm out{};
#ifdef _WIN32
  localtime_s(&out, &t);
#else
  localtime_r(&t, &out);
#endif
  return out;
}

// Milliseconds since an arbitrary start, / 55: the 55 ms tick.
uint32_t Tick55() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count() / 55);
}

}  // namespace

const char* TakeKindExt(uint32_t kind) {
  const KindNames* k = FindKind(kind);
  return k ? StrText(k->ext) : "";
}

const char* TakeKindName(uint32_t kind) {
  const KindNames* k = FindKind(kind);
  return StrText(k ? k->name : IDS_UNKNOWN_TAKE);
}

int TakeNameFitsKind(const char* path, uint32_t kind) {
  const char* ext = PathFindExt(path, 0);
  if (*ext != '.') return 0;
  char upper[kTakePathSize];
  StrCopyN(upper, ext + 1, sizeof upper);
  for (char* c = upper; *c; ++c)
    if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
  for (const KindNames& k : kKinds) {
    if (FindKind(kind) && k.kind != kind) continue;
    char pattern[16];
    StrCopyN(pattern, StrText(k.ext), sizeof pattern - 1);
    StrCatN(pattern, "*", sizeof pattern);
    if (WildcardMatch(upper, pattern)) return 1;
  }
  return 0;
}

int TakeHeadIsValid(const TakeFileHead& head, uint64_t fileSize) {
  char version[kTakeVersionSize];
  VersionBytes(version);
  if (std::memcmp(head.Version, version, kTakeVersionSize) != 0) return 0;
  const TakeHeader& h = head.Header;
  if (fileSize < kTakeDataOffset || fileSize - kTakeDataOffset != h.DataEnd) return 0;
  // Data start beyond data end would make the data length negative.
  if (h.DataStart > h.DataEnd) return 0;
  return KindWordsValid(h) ? 1 : 0;
}

int ReadTakeHeader(const char* path, TakeImage* image) {
  if (!path || std::strlen(path) >= kTakePathSize) return 0;
  if (StemLength(path) > kTakeNameMax) return 0;
  FioHandle file = FioOpen(path, kFioRead);
  if (file == kFioInvalid) return 0;
  TakeFileHead head;
  uint32_t got = 0;
  uint64_t size = 0;
  bool ok = FioRead(file, &head, sizeof head, &got) && got == sizeof head &&
            FioGetSize(file, &size) && TakeHeadIsValid(head, size);
  FioClose(file);
  if (!ok) return 0;
  if (image) FillImage(path, head.Header, image);
  return 1;
}

// Writes the header of an image; the record's last-write time follows.
int WriteTakeImageHeader(TakeImage* take, int newFile) {
  FioHandle file = FioOpen(take->path, kFioReadWrite);
  if (file == kFioInvalid) return 0;
  char version[kTakeVersionSize];
  VersionBytes(version);
  bool ok;
  if (newFile) {
    ok = FioWrite(file, version, kTakeVersionSize);
  } else {
    char found[kTakeVersionSize];
    uint32_t got = 0;
    ok = FioRead(file, found, kTakeVersionSize, &got) && got == kTakeVersionSize &&
         std::memcmp(found, version, kTakeVersionSize) == 0;
  }
  if (ok) {
    TakeHeader h{};
    const char* name = PathFindName(take->path);
    StrCopyCount(h.Name, name, std::min(StemLength(take->path), kTakeNameMax), sizeof h.Name);
    StrCopyN(h.Description, take->description, sizeof h.Description);
    h.Created = take->created;
    take->modified = FioNow();
    h.Modified = take->modified;
    h.Id = take->id;
    h.CreatorValue = take->creatorValue;
    h.SampleRate = take->sampleRate;
    h.FrameRate = take->frameRate;
    h.TcStamp = take->tcStamp;
    h.Kind = take->kind;
    if (take->kind == kTakeAudio || take->kind == kTakeAutom || take->kind == kTakeMidi) {
      h.Word1 = take->word1;
      h.Word2 = take->word2;
      h.Word3 = take->word3;
      if (take->kind != kTakeMidi) h.Word4 = take->word4;
    }
    h.DataStart = take->dataStart;
    h.DataEnd = take->dataEnd;
    ok = FioSeek(file, kTakeVersionSize) && FioWrite(file, &h, sizeof h);
  }
  FioClose(file);
  return ok ? 1 : 0;
}

int WriteTakeHeader(TakeRec* take, int newFile) {
  return take ? WriteTakeImageHeader(take, newFile) : 0;
}

void NewTakeId(TakeId* id) {
  // counter: ids made in this run; wrapTick: the tick of the last id made
  // before the counter's low byte came round to 0. Waiting at each wrap
  // until the tick has moved past every tick of the previous round keeps
  // (tick, counter) pairs distinct within a run.
  static uint32_t counter = 0;
  static uint32_t lastTick = 0xFFFFFFFFu;
  uint32_t tick = Tick55();
  if ((counter & 0xFF) == 0) {
    while (tick == lastTick) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      tick = Tick55();
    }
  }
  lastTick = tick;
  std::tm now = LocalNow();
  id->Bytes[0] = Bcd(now.tm_mday);
  id->Bytes[1] = Bcd(now.tm_mon + 1);
  id->Bytes[2] = static_cast<uint8_t>(now.tm_year);
  id->Bytes[3] = Bcd(now.tm_hour);
  id->Bytes[4] = Bcd(now.tm_min);
  id->Bytes[5] = Bcd(now.tm_sec);
  id->Bytes[6] = static_cast<uint8_t>(tick);
  id->Bytes[7] = static_cast<uint8_t>(counter);
  ++counter;
}
