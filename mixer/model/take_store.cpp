// The Take store: pooled records and their references, the name set, the
// open list, the ring of Takes in use, directory scans and search by id.
#include <cstring>

#include "mixer/model/util/paths.h"
#include "mixer/model/util/strutil.h"
#include "mixer/model/take_store.h"
#include "mixer/shell/services.h"

TakeStoreState& TakeStore() {
  static TakeStoreState state;
  return state;
}

char (&TakeDomainDirs())[8][kTakePathSize] {
  static char dirs[8][kTakePathSize];
  return dirs;
}

namespace {

TakeStoreState& S() { return TakeStore(); }

// The file manager's event after the Takes that left the ring were closed.
constexpr uint32_t kSFManRingClosed = 3;

// Adds one pool block of zeroed records to the free list and the handle
// table.
bool GrowPool() {
  std::unique_ptr<TakeRec[]> block(new (std::nothrow) TakeRec[kTakePoolBlock]);
  if (!block) return false;
  for (uint32_t i = kTakePoolBlock; i-- > 0;) {
    TakeRec* rec = &block[i];
    static_cast<TakeImage&>(*rec) = TakeImage{};
    rec->next = S().freeList;
    S().freeList = rec;
  }
  // TakeFromRef reads the table from other threads: growing it may move it.
  std::lock_guard<std::mutex> guard(S().nameLock);
  S().byRef.reserve(S().byRef.size() + kTakePoolBlock);
  for (uint32_t i = 0; i < kTakePoolBlock; ++i) {
    S().byRef.push_back(&block[i]);
    block[i].ref = static_cast<uint32_t>(S().byRef.size());
  }
  S().blocks.push_back(std::move(block));
  return true;
}

void RingRemove(TakeRec* take) {
  if (!take->ringNext) return;
  TakeRec* pred = take;
  while (pred->ringNext != take) pred = pred->ringNext;
  if (pred == take) {
    S().ringHead = nullptr;
  } else {
    pred->ringNext = take->ringNext;
    if (S().ringHead == take) S().ringHead = pred;
  }
  take->ringNext = nullptr;
}

void OpenListRemove(TakeRec* take) {
  for (TakeRec** p = &S().openList; *p; p = &(*p)->next) {
    if (*p == take) {
      *p = take->next;
      take->next = nullptr;
      return;
    }
  }
}

void SetLive(TakeRec* take, bool live) {
  std::lock_guard<std::mutex> guard(S().nameLock);
  take->live = live;
}

}  // namespace

// MurmurHash2 of the path's bytes, seed 0.
uint32_t TakePathHash(const char* path) {
  const uint32_t m = 0x5bd1e995;
  uint32_t len = static_cast<uint32_t>(std::strlen(path));
  const auto* data = reinterpret_cast<const unsigned char*>(path);
  uint32_t h = len;  // seed 0 xor length
  while (len >= 4) {
    uint32_t k = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    k *= m;
    k ^= k >> 24;
    k *= m;
    h *= m;
    h ^= k;
    data += 4;
    len -= 4;
  }
  switch (len) {
    case 3: h ^= static_cast<uint32_t>(data[2]) << 16; [[fallthrough]];
    case 2: h ^= static_cast<uint32_t>(data[1]) << 8; [[fallthrough]];
    case 1: h ^= data[0]; h *= m;
  }
  h ^= h >> 13;
  h *= m;
  h ^= h >> 15;
  return h;
}

void TakeNameInsert(TakeRec* take) {
  std::lock_guard<std::mutex> guard(S().nameLock);
  take->bucket = TakePathHash(take->path) & (kTakeChains - 1);
  take->nameNext = nullptr;
  TakeRec** p = &S().chains[take->bucket];
  while (*p) p = &(*p)->nameNext;
  *p = take;
}

int TakeNameRemove(TakeRec* take) {
  std::lock_guard<std::mutex> guard(S().nameLock);
  if (take->bucket >= kTakeChains) return 0;
  for (TakeRec** p = &S().chains[take->bucket]; *p; p = &(*p)->nameNext) {
    if (*p == take) {
      *p = take->nameNext;
      take->nameNext = nullptr;
      return 1;
    }
  }
  return 0;
}

TakeRec* TakeLookupPath(const char* path) {
  if (!S().open || !path) return nullptr;
  std::lock_guard<std::mutex> guard(S().nameLock);
  for (TakeRec* r = S().chains[TakePathHash(path) & (kTakeChains - 1)]; r; r = r->nameNext)
    if (std::strcmp(r->path, path) == 0) return r;
  return nullptr;
}

int TakeStoreOpen() {
  if (S().open) TakeStoreClose();
  S().open = true;
  return 1;
}

void TakeStoreClose() {
  if (!S().open) return;
  TakeFindClose();
  TakeJournalDiscard(0);
  for (TakeRec* r = S().openList; r; r = r->next) {
    std::lock_guard<std::mutex> guard(r->lock);
    TakeCloseHandle(r);
  }
  TakeStoreState& s = S();
  s.blocks.clear();
  s.byRef.clear();
  std::memset(s.chains, 0, sizeof s.chains);
  s.openList = s.freeList = s.ringHead = nullptr;
  s.scanLast = nullptr;
  s.lastFoundDir[0] = s.prevBaseDir[0] = '\0';
  s.addedCount = 0;
  s.journal.clear();
  s.level = s.top = -1;
  s.open = false;
}

uint32_t TakeRef(const TakeRec* take) { return take ? take->ref : 0; }

TakeRec* TakeFromRef(uint32_t ref) {
  std::lock_guard<std::mutex> guard(S().nameLock);
  if (ref == 0 || ref > S().byRef.size()) return nullptr;
  TakeRec* rec = S().byRef[ref - 1];
  return rec->live ? rec : nullptr;
}

void TakeCloseHandle(TakeRec* take) {
  FioUnmapView(&take->view);
  if (take->file == kFioInvalid) return;
  FioClose(take->file);
  take->file = kFioInvalid;
}

TakeRec* TakeAlloc(const TakeImage& image) {
  if (!S().open || !image.path[0]) return nullptr;
  if (!S().freeList && !GrowPool()) return nullptr;
  TakeRec* rec = S().freeList;
  S().freeList = rec->next;
  {
    std::lock_guard<std::mutex> guard(rec->lock);
    static_cast<TakeImage&>(*rec) = image;
    rec->path[kTakePathSize - 1] = '\0';
    rec->file = kFioInvalid;
    rec->ringNext = nullptr;
    rec->next = S().openList;
    S().openList = rec;
  }
  TakeNameInsert(rec);
  SetLive(rec, true);
  return rec;
}

int TakeFree(TakeRec* take) {
  if (!take || !S().open) return 0;
  std::lock_guard<std::mutex> guard(take->lock);
  if (!TakeNameRemove(take)) return 0;
  SetLive(take, false);
  RingRemove(take);
  OpenListRemove(take);
  if (S().scanLast == take) S().scanLast = nullptr;
  take->next = S().freeList;
  S().freeList = take;
  TakeCloseHandle(take);
  take->path[0] = '\0';
  return 1;
}

int TakeIsOpen(const TakeRec* take) {
  for (TakeRec* r = S().openList; r; r = r->next)
    if (r == take) return 1;
  return 0;
}

TakeRec* TakeOpenPath(const char* path, int* added) {
  if (added) *added = 0;
  if (TakeRec* rec = TakeLookupPath(path)) return rec;
  TakeImage image;
  if (!ReadTakeHeader(path, &image)) return nullptr;
  TakeRec* rec = TakeAlloc(image);
  if (rec && added) *added = 1;
  return rec;
}

TakeRec* TakeOpenFile(const char* path) { return TakeOpenPath(path, nullptr); }

// Ring of Takes in use.

TakeRec* TakeRingFirst() { return S().ringHead; }

TakeRec* TakeRingNext(TakeRec* take) {
  if (!take || !take->ringNext || take->ringNext == S().ringHead) return nullptr;
  return take->ringNext;
}

int TakeInRing(const TakeRec* take) { return take && take->ringNext ? 1 : 0; }

void TakeRingAdd(TakeRec* take) {
  if (!take || take->ringNext) return;
  TakeRec* head = S().ringHead;
  if (!head) {
    take->ringNext = take;
    S().ringHead = take;
  } else {
    take->ringNext = head->ringNext;
    head->ringNext = take;
  }
}

void TakeRingClear() {
  for (TakeRec* r = S().openList; r; r = r->next) {
    r->flags = r->ringNext ? (r->flags | kTakeWasInRing) : (r->flags & ~kTakeWasInRing);
    r->ringNext = nullptr;
  }
  S().ringHead = nullptr;
}

void TakeRingCloseOthers(int repaint) {
  if (!repaint) return;
  for (TakeRec* r = S().openList; r; r = r->next) {
    if ((r->flags & kTakeWasInRing) && !r->ringNext) {
      std::lock_guard<std::mutex> guard(r->lock);
      TakeCloseHandle(r);
    }
    r->flags &= ~kTakeWasInRing;
  }
  TakeDirWndRepaint();
  SFManNotify(kSFManRingClosed, 1);
}

// Directory scans.

void TakeFindClose() {
  S().scanning = false;
  S().scanNames.clear();
  S().scanIndex = 0;
  S().scanLast = nullptr;
}

namespace {

TakeRec* ScanContinue();

// A name the scan's "*.?TAK*" pattern finds: matched without case, as the
// file system matches its patterns. Whether the file is a Take is then up
// to its header, whatever the letter before "TAK".
bool FitsScanPattern(const char* name) {
  std::string upper(name);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return WildcardMatch(upper.c_str(), "*.?TAK*") != 0;
}

}  // namespace

TakeRec* TakeFindFirst(const char* dir) {
  TakeFindClose();
  if (!S().open || !dir) return nullptr;
  S().scanDir = dir;
  std::vector<std::string> names;
  FioEnumDir(dir, [&](const char* name, int isDir) {
    if (!isDir && FitsScanPattern(name)) names.emplace_back(name);
    return 1;
  });
  S().scanNames = std::move(names);
  S().scanning = true;
  S().scanLast = nullptr;
  return ScanContinue();
}

namespace {

// The next valid Take of the running scan, or null at its end.
TakeRec* ScanContinue() {
  TakeStoreState& s = S();
  while (s.scanIndex < s.scanNames.size()) {
    std::string path = s.scanDir + s.scanNames[s.scanIndex++];
    if (path.size() >= kTakePathSize) continue;
    if (TakeRec* rec = TakeOpenPath(path.c_str(), nullptr)) {
      s.scanLast = rec;
      return rec;
    }
  }
  TakeFindClose();
  return nullptr;
}

}  // namespace

TakeRec* TakeFindNext(TakeRec* previous) {
  if (!S().scanning || !previous || previous != S().scanLast) {
    TakeFindClose();
    return nullptr;
  }
  return ScanContinue();
}

// Search by id.

void TakeSetDomainDirectory(int index, const char* dir) {
  if (index < 0 || index >= 8) return;
  StrCopyN(TakeDomainDirs()[index], dir ? dir : "", kTakePathSize);
}

namespace {

TakeRec* FindOpenById(const TakeId& id) {
  for (TakeRec* r = S().openList; r; r = r->next)
    if (std::memcmp(&r->id, &id, sizeof id) == 0) return r;
  return nullptr;
}

// Depth-first search of a directory tree for the Take of that kind and id.
// `dir` ends in '\'. Sets `foundDir` to the directory of the hit.
TakeRec* TakeSearchDir(const std::string& dir, const TakeId& id, uint32_t kind,
                       std::string* foundDir) {
  std::vector<std::pair<std::string, int>> entries;
  FioEnumDir(dir.c_str(), [&](const char* name, int isDir) {
    entries.emplace_back(name, isDir);
    return 1;
  });
  for (const auto& [name, isDir] : entries) {
    DispatchPendingMessages();
    std::string path = dir + name;
    if (isDir) {
      if (name[0] == '.' || path.size() + 1 >= kTakePathSize) continue;
      if (TakeRec* rec = TakeSearchDir(path + '\\', id, kind, foundDir)) return rec;
      continue;
    }
    if (path.size() >= kTakePathSize || !TakeNameFitsKind(name.c_str(), kind)) continue;
    int added = 0;
    TakeRec* rec = TakeOpenPath(path.c_str(), &added);
    S().addedCount += static_cast<uint32_t>(added);
    if (rec && std::memcmp(&rec->id, &id, sizeof id) == 0) {
      *foundDir = dir;
      return rec;
    }
  }
  return nullptr;
}

TakeRec* SearchIn(const char* dir, const TakeId& id, uint32_t kind) {
  if (!dir[0]) return nullptr;
  std::string d = dir;
  if (d.back() != '\\') d += '\\';
  std::string found;
  TakeRec* rec = TakeSearchDir(d, id, kind, &found);
  if (rec) StrCopyN(S().lastFoundDir, found.c_str(), kTakePathSize);
  return rec;
}

}  // namespace

TakeRec* TakeFindByStamp(const TakeId& id, uint32_t kind, const char* pathInBase) {
  TakeStoreState& s = S();
  if (!s.open || !pathInBase) return nullptr;
  if (s.addedCount == 0) {
    if (TakeRec* rec = FindOpenById(id)) return rec;
  } else {
    s.addedCount = 0;
  }
  char base[kTakePathSize];
  if (!PathGetDir(pathInBase, base, kTakePathSize - 1)) return nullptr;
  if (base[0] && base[std::strlen(base) - 1] != '\\') StrCatN(base, "\\", sizeof base);
  bool preferLast = s.lastFoundDir[0] && std::strcmp(base, s.prevBaseDir) == 0;
  StrCopyN(s.prevBaseDir, base, sizeof s.prevBaseDir);
  // The last-found directory may change during the searches; search the one
  // remembered at the start.
  char last[kTakePathSize];
  StrCopyN(last, s.lastFoundDir, sizeof last);
  TakeRec* rec = nullptr;
  if (preferLast) rec = SearchIn(last, id, kind);
  if (!rec) rec = SearchIn(base, id, kind);
  if (!rec && !preferLast) rec = SearchIn(last, id, kind);
  for (int i = 0; !rec && i < 8; ++i) rec = SearchIn(TakeDomainDirs()[i], id, kind);
  return rec;
}
