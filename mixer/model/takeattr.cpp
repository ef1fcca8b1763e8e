#include "mixer/model/takeattr.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

#include "mixer/model/util/paths.h"
#include "mixer/model/settings.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "mixer/model/take.h"
#include "mixer/model/wvfcache.h"
#include "mixer/shell/services.h"

namespace {

constexpr uint32_t kDescriptionMax = 127;  // characters; the field holds 128 bytes

int Fail(uint32_t* error, uint32_t id) {
  if (error != nullptr) *error = id;
  return 0;
}

template <class T>
uintptr_t Address(T& field) {
  return reinterpret_cast<uintptr_t>(&field);
}

// The valid data in bytes; a header whose start lies past its end (it is not
// checked when read) has none.
uint32_t DataBytes(const TakeRec& take) {
  return take.dataEnd > take.dataStart ? take.dataEnd - take.dataStart : 0;
}

uint32_t AudioSampleBytes(const TakeRec& take) {
  return take.word4 == 2 || take.word4 == 3 ? take.word4 : 0;
}

bool IsLogKind(uint32_t kind) { return kind == kTakeAutom || kind == kTakeMidi; }

uint32_t Length(const TakeRec& take) {
  if (take.kind == kTakeAudio) {
    const uint32_t bytesPerSample = AudioSampleBytes(take);
    return bytesPerSample ? DataBytes(take) / bytesPerSample : 0;
  }
  return IsLogKind(take.kind) ? take.word1 : 0;
}

// The file name without its extension, in a buffer the next call overwrites.
uintptr_t NameBuffer(const TakeRec& take) {
  static char name[kTakeNameMax + 1];
  const char* start = PathFindName(take.path);
  const char* ext = PathFindExt(take.path, 0);
  const int length = static_cast<int>(std::min<ptrdiff_t>(ext - start, kTakeNameMax));
  StrCopyCount(name, start, length, sizeof name);
  return reinterpret_cast<uintptr_t>(name);
}

// Whether the Take's waveform overview file exists, looked up once and then
// remembered in the flags.
uintptr_t WaveExists(TakeRec& take) {
  if (!(take.flags & kTakeWaveChecked)) {
    char path[kTakePathSize];
    StrCopyN(path, GetWvFormFilePath(), sizeof path);
    take.flags |= kTakeWaveChecked;
    if (WvfCacheExists(&take, path, sizeof path)) {
      take.flags |= kTakeWaveExists;
    } else {
      take.flags &= ~kTakeWaveExists;
    }
  }
  return (take.flags & kTakeWaveExists) ? 1 : 0;
}

int RewriteHeader(TakeRec* take, uint32_t* error) {
  return WriteTakeHeader(take, 0) ? 1 : Fail(error, IDS_FILE_NOT_UPDATED);
}

int SetHeaderWord(TakeRec* take, uint32_t TakeImage::*field, uint32_t value, uint32_t* error) {
  take->*field = value;
  return RewriteHeader(take, error);
}

// Words 3 and 4 of an Audio Take are its sample format (bits and bytes
// per sample): the header reader and the sample transfer rely on them, so
// the names other kinds give these words cannot change them. Any other kind
// takes the value.
bool IsSampleFormatWord(const TakeRec* take, uint32_t TakeImage::*field) {
  return take->kind == kTakeAudio && (field == &TakeImage::word3 || field == &TakeImage::word4);
}

// A kind word kept in the header.
int SetKindWord(TakeRec* take, uint32_t TakeImage::*field, uint32_t value, uint32_t* error) {
  if (IsSampleFormatWord(take, field)) return Fail(error, IDS_INTERNAL_CODE_ERROR);
  return SetHeaderWord(take, field, value, error);
}

// A word kept in memory only (a log handle): no header write.
int SetMemoryWord(TakeRec* take, uint32_t TakeImage::*field, uint32_t value, uint32_t* error) {
  if (IsSampleFormatWord(take, field)) return Fail(error, IDS_INTERNAL_CODE_ERROR);
  take->*field = value;
  return 1;
}

// Makes the valid data `size` bytes long: the file is cut or extended under
// the Take's lock, so a transfer sees either the old or the new size.
int ResizeData(TakeRec* take, uint64_t size, uint32_t* error) {
  if (size == DataBytes(*take)) return 1;
  const uint64_t end = uint64_t{take->dataStart} + size;
  if (end > UINT32_MAX) return Fail(error, IDS_TAKE_SIZE_LIMIT);
  {
    std::lock_guard<std::mutex> guard(take->lock);
    // A view of the file would keep it from being cut (or, on POSIX systems,
    // show pages past its new end); the next transfer opens it again.
    TakeCloseHandle(take);
    if (!FileSetSize(take->path, kTakeDataOffset + end, 0)) return Fail(error, IDS_NO_DISK_SPACE_ON);
    take->dataEnd = static_cast<uint32_t>(end);
  }
  return RewriteHeader(take, error);
}

int SetLength(TakeRec* take, uint32_t value, uint32_t* error) {
  if (IsLogKind(take->kind)) return SetHeaderWord(take, &TakeImage::word1, value, error);
  if (take->kind != kTakeAudio) return ResizeData(take, value, error);
  const uint32_t bytesPerSample = AudioSampleBytes(*take);
  if (bytesPerSample == 0) return Fail(error, IDS_INTERNAL_CODE_ERROR);
  const uint64_t bytes = uint64_t{value} * bytesPerSample;
  if (bytes > UINT32_MAX) return Fail(error, IDS_TAKE_SIZE_LIMIT);
  return ResizeData(take, bytes, error);
}

int SetDataStart(TakeRec* take, uint32_t value, uint32_t* error) {
  if (value >= take->dataEnd) return Fail(error, IDS_INTERNAL_CODE_ERROR);
  return SetHeaderWord(take, &TakeImage::dataStart, value, error);
}

int SetDescription(TakeRec* take, const char* text, uint32_t* error) {
  if (text == nullptr) return Fail(error, IDS_INTERNAL_CODE_ERROR);
  StrCopyCount(take->description, text, kDescriptionMax, sizeof take->description);
  return RewriteHeader(take, error);
}

int SetTcStamp(TakeRec* take, const TcRec* stamp, uint32_t* error) {
  if (stamp == nullptr) return Fail(error, IDS_INTERNAL_CODE_ERROR);
  std::memcpy(&take->tcStamp, stamp, sizeof take->tcStamp);
  return RewriteHeader(take, error);
}

bool SameNoCase(const char* a, size_t aLength, const char* b, size_t bLength) {
  if (aLength != bLength) return false;
  for (size_t i = 0; i < aLength; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// Renames the Take's file to `name` in its own folder, keeping the
// extension: the name is cut to 63 characters, or shorter where the folder
// and extension leave less room; a new name that only differs in case does
// nothing; a taken name gets a "(n)" before any channel suffix.
int Rename(TakeRec* take, const char* name, uint32_t* error) {
  if (name == nullptr) return Fail(error, IDS_INTERNAL_CODE_ERROR);
  char path[kTakePathSize];
  if (!PathGetDir(take->path, path, sizeof path)) return Fail(error, IDS_MAX_PATH_EXCEEDED);
  const char* oldName = PathFindName(take->path);
  const char* ext = PathFindExt(take->path, 0);
  const size_t room = sizeof path - 1 - std::strlen(path) - std::strlen(ext);
  const size_t length = std::min({std::strlen(name), size_t{kTakeNameMax}, room});
  if (length == 0) return Fail(error, IDS_MAX_PATH_EXCEEDED);
  if (SameNoCase(name, length, oldName, static_cast<size_t>(ext - oldName))) return 1;

  const size_t dirLength = std::strlen(path);
  std::memcpy(path + dirLength, name, length);
  path[dirLength + length] = '\0';
  StrCatN(path, ext, sizeof path);
  if (!MakeUniquePathWith(path, sizeof path, 1, FioFileExists))
    return Fail(error, IDS_FILE_NOT_MOVED);
  // Closes the transfer handle and renames under the Take's lock; the
  // recorder's threads reopen the handle by the new path.
  return TakeRenameFile(take, path, error, 1);
}

template <class T>
const T* AsPointer(uintptr_t value) {
  return reinterpret_cast<const T*>(value);
}

}  // namespace

uintptr_t TakeGetAttr(TakeRec* take, uint32_t number) {
  if (take == nullptr) return 0;
  switch (number) {
    case kTakeAttrName: return NameBuffer(*take);
    case kTakeAttrDescription: return Address(take->description);
    case kTakeAttrCreated: return Address(take->created);
    case kTakeAttrModified: return Address(take->modified);
    case kTakeAttrKind: return take->kind;
    case kTakeAttrDataBytes: return DataBytes(*take);
    case kTakeAttrLength: return Length(*take);
    case kTakeAttrId: return Address(take->id);
    case kTakeAttrCreatorValue: return take->creatorValue;
    case kTakeAttrSampleRate: return take->sampleRate ? take->sampleRate : Settings().SampleRate;
    case kTakeAttrFrameRate: return take->frameRate ? take->frameRate : Settings().CurFrameRate;
    case kTakeAttrTcStamp: return Address(take->tcStamp);
    case kTakeAttrDataStart: return take->dataStart;
    case kTakeAttrChannels: return take->word1;
    case kTakeAttrAudioWord2:
    case kTakeAttrAutWord2:
    case kTakeAttrTickResolution: return take->word2;
    case kTakeAttrBitsPerSample:
    case kTakeAttrAutWord3:
    case kTakeAttrMidiWord3: return take->word3;
    case kTakeAttrBytesPerSample:
    case kTakeAttrAutWord4:
    case kTakeAttrMidiLog: return take->word4;
    case kTakeAttrWaveExists: return WaveExists(*take);
    case kTakeAttrAutLog: return take->word5;
    default: return 0;
  }
}

int TakeSetAttr(TakeRec* take, uint32_t number, uintptr_t value, uint32_t* error) {
  if (take == nullptr) return Fail(error, IDS_INTERNAL_CODE_ERROR);
  const uint32_t word = static_cast<uint32_t>(value);
  switch (number) {
    case kTakeAttrName: return Rename(take, AsPointer<char>(value), error);
    case kTakeAttrDescription: return SetDescription(take, AsPointer<char>(value), error);
    case kTakeAttrDataBytes: return ResizeData(take, word, error);
    case kTakeAttrLength: return SetLength(take, word, error);
    case kTakeAttrCreatorValue: return SetHeaderWord(take, &TakeImage::creatorValue, word, error);
    case kTakeAttrSampleRate: return SetHeaderWord(take, &TakeImage::sampleRate, word, error);
    case kTakeAttrFrameRate: return SetHeaderWord(take, &TakeImage::frameRate, word, error);
    case kTakeAttrTcStamp: return SetTcStamp(take, AsPointer<TcRec>(value), error);
    case kTakeAttrDataStart: return SetDataStart(take, word, error);
    case kTakeAttrWaveExists:
      // Only the answer: a Take whose file was never looked for still asks
      // the disk on the next request.
      take->flags = (take->flags & ~kTakeWaveExists) | ((word & 1) ? kTakeWaveExists : 0);
      return 1;
    case kTakeAttrAutWord3:
    case kTakeAttrMidiWord3: return SetKindWord(take, &TakeImage::word3, word, error);
    case kTakeAttrAutWord4: return SetKindWord(take, &TakeImage::word4, word, error);
    case kTakeAttrAutLog: return SetMemoryWord(take, &TakeImage::word5, word, error);
    case kTakeAttrMidiLog: return SetMemoryWord(take, &TakeImage::word4, word, error);
    default: return 0;
  }
}

int TakeDataIo(TakeRec* take, int write, uint32_t position, uint32_t count, void* buffer,
               uint32_t* error) {
  if (take == nullptr || buffer == nullptr) return Fail(error, IDS_INTERNAL_CODE_ERROR);
  const uint32_t bytes = DataBytes(*take);
  if (count == 0 || count > bytes || position > bytes - count)
    return Fail(error, IDS_INTERNAL_CODE_ERROR);
  const FioHandle file = FioOpen(take->path, write ? kFioReadWrite : kFioRead);
  if (file == kFioInvalid) return Fail(error, IDS_FILE_NOT_READ_WRITTEN);
  const uint64_t offset = uint64_t{kTakeDataOffset} + take->dataStart + position;
  uint32_t done = 0;
  bool ok = FioSeek(file, offset) != 0;
  if (ok && write) {
    ok = FioWrite(file, buffer, count) != 0;
  } else if (ok) {
    ok = FioRead(file, buffer, count, &done) != 0 && done == count;
  }
  FioClose(file);
  return ok ? 1 : Fail(error, IDS_FILE_NOT_READ_WRITTEN);
}
