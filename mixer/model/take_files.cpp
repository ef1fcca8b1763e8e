// Creating, deleting, renaming and moving Take files.
#include <cstring>

#include "mixer/mix/services.h"
#include "mixer/model/host.h"
#include "mixer/model/util/paths.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "mixer/model/take_store.h"
#include "mixer/model/takes.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"

int WriteTakeImageHeader(TakeImage* take, int newFile);

namespace {

void SetError(uint32_t* error, uint32_t id) {
  if (error) *error = id;
}

int ExistsFn(const char* path) { return FioFileExists(path); }

// Builds dir + name + "." + extension within kTakePathSize; 0 when it does
// not fit.
bool BuildTakePath(char* out, const char* dir, const char* name, uint32_t kind) {
  out[0] = '\0';
  return StrCatN(out, dir, kTakePathSize) && StrCatN(out, name, kTakePathSize) &&
         StrCatN(out, ".", kTakePathSize) && StrCatN(out, TakeKindExt(kind), kTakePathSize);
}

// Creates the folder that holds `path` (and its parents) when missing.
bool CreateParentDirs(const char* path) {
  char dir[kTakePathSize];
  if (!PathGetDir(path, dir, sizeof dir)) return false;
  size_t n = std::strlen(dir);
  while (n > 0 && dir[n - 1] == '\\') dir[--n] = '\0';
  if (n == 0 || FioDirExists(dir)) return true;
  char* cut = PathFindName(dir);
  if (cut != dir && !CreateParentDirs(dir)) return false;
  return FioCreateDir(dir) != 0;
}

// Puts the record under its new path in the name set; the caller holds the
// Take's lock.
void Rekey(TakeRec* take, const char* path) {
  TakeNameRemove(take);
  StrCopyN(take->path, path, kTakePathSize);
  TakeNameInsert(take);
}

}  // namespace

int ShellMovePath(const char* from, char* dest, int destSize) {
  if (!from || !dest || !FioFileExists(from)) return 0;
  if (std::strcmp(from, dest) == 0) return 1;
  if (!CreateParentDirs(dest)) return 0;
  if ((FioFileExists(dest) || FioDirExists(dest)) &&
      !MakeUniquePathWith(dest, destSize, 0, [](const char* p) {
        return FioFileExists(p) || FioDirExists(p);
      }))
    return 0;
  return FioRename(from, dest);
}

int TakeReBinPath(const char* path, char* out, int size) {
  char dir[kTakePathSize];
  if (!PathGetDir(path, dir, sizeof dir)) return 0;
  out[0] = '\0';
  return StrCatN(out, dir, size) && StrCatN(out, StrText(IDS_REBIN_FOLDER), size) &&
         StrCatN(out, "\\", size) && StrCatN(out, PathFindName(path), size);
}

TakeRec* TakeCreate(const TakeImage& image, const char* name, const char* dir, uint32_t dataBytes,
                    uint32_t creatorValue, uint32_t sampleRate, uint32_t frameRate, int inUse,
                    const char* description, const TcRec* tcStamp, const TakeId* id,
                    uint32_t* error) {
  if (name && static_cast<int>(std::strlen(name)) > kTakeNameMax) {
    SetError(error, IDS_TAKE_NAME_TOO_LONG);
    return nullptr;
  }
  TakeImage take = image;
  if (!dir || !BuildTakePath(take.path, dir, name ? name : TakeKindName(image.kind), image.kind) ||
      !MakeUniquePathWith(take.path, kTakePathSize, 1, ExistsFn)) {
    SetError(error, IDS_MAX_PATH_EXCEEDED);
    return nullptr;
  }
  take.dataOffset = kTakeDataOffset;
  take.dataStart = 0;
  take.dataEnd = dataBytes;
  if (!FileSetSize(take.path, uint64_t{kTakeDataOffset} + dataBytes, 1)) {
    FioDelete(take.path);
    SetError(error, IDS_NO_DISK_SPACE_ON);
    return nullptr;
  }
  take.description[0] = '\0';
  if (description) StrCopyN(take.description, description, sizeof take.description);
  if (id) take.id = *id;
  else NewTakeId(&take.id);
  take.creatorValue = creatorValue;
  take.sampleRate = sampleRate;
  take.frameRate = frameRate;
  if (tcStamp) take.tcStamp = *tcStamp;
  take.created = FioNow();
  take.flags = 0;
  if (!WriteTakeImageHeader(&take, 1)) {
    FioDelete(take.path);
    SetError(error, IDS_FILE_NOT_UPDATED);
    return nullptr;
  }
  TakeRec* rec = TakeAlloc(take);
  if (!rec) {
    FioDelete(take.path);
    SetError(error, IDS_INTERNAL_CODE_ERROR);
    return nullptr;
  }
  if (inUse) TakeRingAdd(rec);
  TakeJournalAdd(kJournalCreated, "", rec->path, rec);
  return rec;
}

TakeRec* TakeCreateAudio(const char* dir, uint32_t bytesPerSample, uint32_t samples,
                         uint32_t creatorValue, uint32_t sampleRate, uint32_t frameRate, int inUse,
                         const char* name, const char* description, const TcRec* tcStamp,
                         const TakeId* id, uint32_t* error) {
  if (bytesPerSample != 2 && bytesPerSample != 3) {
    SetError(error, IDS_INTERNAL_CODE_ERROR);
    return nullptr;
  }
  uint64_t bytes = uint64_t{samples} * bytesPerSample;
  if (bytes > 0xFFFFFFFFu) {
    SetError(error, IDS_TAKE_SIZE_LIMIT);
    return nullptr;
  }
  TakeImage image{};
  image.kind = kTakeAudio;
  image.word1 = 1;
  image.word3 = 8 * bytesPerSample;
  image.word4 = bytesPerSample;
  return TakeCreate(image, name, dir, static_cast<uint32_t>(bytes), creatorValue, sampleRate,
                    frameRate, inUse, description, tcStamp, id, error);
}

TakeRec* TakeCreateAutom(const char* dir, uint32_t entries, uint32_t word3, uint32_t word4,
                         uint32_t dataBytes, uint32_t creatorValue, uint32_t sampleRate,
                         uint32_t frameRate, int inUse, const char* name,
                         const char* description, const TcRec* tcStamp, const TakeId* id,
                         uint32_t* error) {
  TakeImage image{};
  image.kind = kTakeAutom;
  image.word1 = entries;
  image.word3 = word3;
  image.word4 = word4;
  return TakeCreate(image, name, dir, dataBytes, creatorValue, sampleRate, frameRate, inUse,
                    description, tcStamp, id, error);
}

TakeRec* TakeCreateMidi(const char* dir, uint32_t tickResolution, uint32_t entries, uint32_t word3,
                        uint32_t dataBytes, uint32_t creatorValue, uint32_t sampleRate,
                        uint32_t frameRate, int inUse, const char* name,
                        const char* description, const TcRec* tcStamp, const TakeId* id,
                        uint32_t* error) {
  TakeImage image{};
  image.kind = kTakeMidi;
  image.word1 = entries;
  image.word2 = tickResolution;
  image.word3 = word3;
  return TakeCreate(image, name, dir, dataBytes, creatorValue, sampleRate, frameRate, inUse,
                    description, tcStamp, id, error);
}

int TakeDelete(TakeRec* take, int journal) {
  if (!take || !TakeLookupPath(take->path) || TakeLookupPath(take->path) != take) return 0;
  if (take->kind == kTakeAutom) MxaFreeTake(take->word5);
  if (take->kind == kTakeMidi) MidiDeleteTakeLog(take->word4);
  char path[kTakePathSize];
  StrCopyN(path, take->path, sizeof path);
  if (journal) TakeJournalForget(take);
  TakeFree(take);
  return FioDelete(path);
}

int TakeDeleteFile(TakeRec* take) { return TakeDelete(take, 1); }

int TakeRenameFile(TakeRec* take, const char* newPath, uint32_t* error, int journal) {
  if (!take || !newPath || std::strlen(newPath) >= kTakePathSize) {
    SetError(error, IDS_FILE_NOT_MOVED);
    return 0;
  }
  char old[kTakePathSize];
  StrCopyN(old, take->path, sizeof old);
  {
    std::lock_guard<std::mutex> guard(take->lock);
    TakeCloseHandle(take);
    if (!FioRename(old, newPath)) {
      SetError(error, IDS_FILE_NOT_MOVED);
      return 0;
    }
    Rekey(take, newPath);
  }
  if (journal) TakeJournalAdd(kJournalRenamed, old, newPath, take);
  return 1;
}

int TakeMoveFile(TakeRec* take, char* dest, int silent, uint32_t* error, int journal) {
  (void)silent;  // the move never shows anything
  if (!take || !dest) {
    SetError(error, IDS_FILE_NOT_MOVED);
    return 0;
  }
  char old[kTakePathSize];
  StrCopyN(old, take->path, sizeof old);
  {
    std::lock_guard<std::mutex> guard(take->lock);
    TakeCloseHandle(take);
    if (!ShellMovePath(old, dest, kTakePathSize)) {
      SetError(error, IDS_FILE_NOT_MOVED);
      return 0;
    }
    Rekey(take, dest);
  }
  if (journal) TakeJournalAdd(kJournalRenamed, old, dest, take);
  return 1;
}

int TakeMoveToReBin(TakeRec* take) {
  char dest[kTakePathSize];
  if (!take || !TakeReBinPath(take->path, dest, sizeof dest)) return 0;
  return TakeMoveFile(take, dest, 1, nullptr, 1);
}

int TakeMoveToReBin(uint32_t take) { return TakeMoveToReBin(TakeFromRef(take)); }

int FileDeleteByPath(const char* path) {
  if (TakeRec* take = TakeLookupPath(path)) return TakeDelete(take, 1);
  return FioDelete(path);
}

int FileSetSize(const char* path, uint64_t size, int create) {
  FioHandle file = FioOpen(path, create ? kFioCreateAlways : kFioReadWrite);
  if (file == kFioInvalid) return 0;
  int ok = FioSetSize(file, size);
  FioClose(file);
  return ok;
}

uint64_t DiskFreeUsable(const char* dir) { return FioDiskFree(dir) / 5 * 4; }

int TakeCheckIoError() {
  uint32_t ref = 0;
  if (!NatDevGetDiskErrorStat(&ref)) return 0;
  TakeRec* take = TakeFromRef(ref);
  if (!take || !take->path[0]) return 0;
  // The timer may report while another cursor (the wait cursor of a long
  // operation) is showing: the box gets the arrow.
  MainCursorArrow();
  MessageBoxById(0, IDS_AUDIO_TAKE_RW_ERROR, kMbWarnOk, take->path);
  MainCursorRestore();
  return 1;
}
