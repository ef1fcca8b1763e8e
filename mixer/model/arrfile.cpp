#include "arrfile.h"

#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "arrheap.h"
#include "arrlist.h"
#include "mixer/model/util/gain.h"
#include "host.h"
#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/rectrk.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"
#include "settings.h"
#include "mixer/model/util/strtab.h"
#include "take.h"
#include "takeattr.h"
#include "taketime.h"

namespace {

constexpr uint32_t kMaxFileTakes = kArrMaxParts;  // a Take is in the table only when a Part plays it
constexpr int32_t kMaxPlayChannel = 384;          // 192 channels, and the same muted
constexpr uint8_t kMaxCurve = 7;                  // fade shapes 0..7

// ---- Shared pieces ----

// An open file, closed when it goes out of scope.
class FileGuard {
 public:
  explicit FileGuard(FioHandle file) : file_(file) {}
  ~FileGuard() { Close(); }
  FileGuard(const FileGuard&) = delete;
  FileGuard& operator=(const FileGuard&) = delete;
  FioHandle get() const { return file_; }
  bool ok() const { return file_ != kFioInvalid; }
  // 1 when the file closed without error (or was not open).
  int Close() {
    const int ok = file_ == kFioInvalid || FioClose(file_);
    file_ = kFioInvalid;
    return ok;
  }

 private:
  FioHandle file_;
};

// A block of one of the model's heaps, freed unless released.
template <typename T> class HeapBlock {
 public:
  HeapBlock(BlockHeap& heap, T* block) : heap_(heap), block_(block) {}
  ~HeapBlock() {
    if (block_) heap_.Free(block_);
  }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  T* get() const { return block_; }
  T** addr() { return &block_; }
  T* release() { return std::exchange(block_, nullptr); }
  // Replaces the block by a fresh one of `size` bytes; false when the heap
  // has no room.
  bool Alloc(uint32_t size) {
    if (block_) heap_.Free(block_);
    block_ = static_cast<T*>(heap_.Alloc(size));
    return block_ != nullptr;
  }

 private:
  BlockHeap& heap_;
  T* block_;
};

void ShowError(uint32_t id) { MessageBoxById(nullptr, id, kMbWarnOk); }

int ReadExact(FioHandle file, void* buf, uint32_t size) {
  uint32_t got = 0;
  return FioRead(file, buf, size, &got) && got == size;
}

int SkipBytes(FioHandle file, uint64_t position, uint64_t bytes) {
  return FioSeek(file, position + bytes);
}

// ---- Versions and settings ----

}  // namespace

int32_t ArrFileVersionOf(const char text[kArrFileVersionSize]) {
  for (int32_t v = kArrV21; v <= kArrV27; ++v) {
    const char* want = StrText(IDS_ARR_V21 + v);
    if (std::memcmp(text, want, std::strlen(want) + 1) == 0) return v;
  }
  return -1;
}

void ArrClearNewFields(ArrRec* arr) {
  for (uint32_t slot = 0; arr && slot < arr->PartCount; ++slot) {
    PartRec* part = ArrPart(arr, slot);
    part->XfadeInCurve = 0;
    part->XfadeOutCurve = 0;
    part->OverlapLink = 0;
    part->Layer = 0;
  }
}

ArrFileVersion ArrFileVersionFor(const ArrRec* arr) {
  if (ArrHasMidi(arr)) return kArrV27;
  if (ArrHasMultiChanLinks(arr)) return kArrV26;
  if (ArrHasPlayChanOverlap(arr)) return kArrV25;
  if (ArrHasOverlaps(arr, 0)) return kArrV24;
  return kArrV22;
}

ArrFileSettings ArrFileSettingsNow() {
  const ProjectSettings& s = Settings();
  ArrFileSettings f{};
  f.SampleRate = s.SampleRate;
  f.FrameRate = s.CurFrameRate;
  f.MeterNum = s.MeterNum;
  f.MeterDen = s.MeterDen;
  f.Tempo = s.Tempo;
  f.PlayRecMode = s.PlayRecMode;
  f.PreRoll = s.PreRoll;
  f.One = 1;
  f.TcOffset = s.TcOffset;
  f.SyncSource = s.SyncSource;
  f.PostRoll = s.PostRoll;
  f.MaxRecTime = s.MaxRecTime;
  f.LeftLoc = Locs().LeftLoc;
  f.RightLoc = Locs().RightLoc;
  f.TouchTimeout = s.AutoTouchTimeout;
  f.ReturnTime = s.AutoReturnTime;
  f.ThinFactor = s.AutoThinFactor;
  f.AutoRecMode = s.AutoRecMode;
  f.AutoFlags = s.AutoFlags;
  f.SnapshotLen = s.SnapshotPartLen;
  f.SnapshotFadeIn = s.SnapshotFadeIn;
  f.SnapshotFadeOut = s.SnapshotFadeOut;
  f.SnapshotFlags = s.SnapshotFlags;
  return f;
}

// ---- Writing ----

namespace {

// The arrangement to store: a copy of the whole block, or a new arrangement
// of the selected Parts. Null (message shown) on failure.
ArrRec* MakeWriteCopy(ArrRec* arr, int selectedOnly) {
  if (!selectedOnly) {
    const uint32_t bytes = ArrBlockSize(arr->PartCount);
    auto* copy = static_cast<ArrRec*>(ArrHeap.Alloc(bytes));
    if (copy == nullptr) {
      ShowError(IDS_GLOBAL_ALLOC_FAILED);
      return nullptr;
    }
    std::memcpy(copy, arr, bytes);
    return copy;
  }
  uint32_t* list = ArrSelPartList(arr);
  if (list == nullptr) {
    ShowError(IDS_GLOBAL_ALLOC_FAILED);
    return nullptr;
  }
  uint32_t error = 0;
  ArrRec* copy = ArrNew(&error);
  if (copy != nullptr) {
    int32_t offset = 0;
    copy = ArrCopyParts(nullptr, copy, arr, &offset, 0, 1, 0, 0, 0, 0, 0, &error);
    if (error == 0) ArrClearSelection(copy, nullptr, 0);
  }
  // The copy clears the selection it copied; the user's selection stays.
  for (const uint32_t* s = list; *s != kArrNoSlot; ++s)
    if (PartRec* part = ArrPart(arr, *s)) part->Flags |= kPartSelected;
  ArrSelPartListFree(list);
  if (error != 0) {
    if (copy) ArrHeap.Free(copy);
    ShowError(error);
    return nullptr;
  }
  return copy;
}

// Stores a muted pending recording pass (negative channel c) on its
// channel: 193 - ((c + 1) rem 192), the remainder with the dividend's sign.
int32_t StoredChannel(int32_t channel) {
  return channel < 0 ? 193 - ((channel + 1) % 192) : channel;
}

// Replaces each Part's Take reference by its index in the table of Takes in
// use (the store's order) and fills the table; a Part whose Take is not in
// use gets an index past the table, so that reading drops it. A pending
// recording pass is stored muted on its channel.
std::vector<TakeId> IndexTakes(ArrRec* copy) {
  std::vector<TakeId> table;
  std::unordered_map<uint32_t, uint32_t> index;
  for (TakeRec* take = TakeRingFirst(); take != nullptr; take = TakeRingNext(take)) {
    index.emplace(TakeRef(take), static_cast<uint32_t>(table.size()));
    TakeId id{};
    if (const auto* src = reinterpret_cast<const TakeId*>(TakeGetAttr(take, kTakeAttrId))) id = *src;
    table.push_back(id);
  }
  ArrClearWriteMarks(copy);
  arrlist::WalkAll(copy, [&](uint32_t, uint32_t, PartRec& part) {
    const auto it = index.find(part.Take);
    if (it == index.end()) {
      part.Take = 0xFFFFFFFF;
      return;
    }
    part.Take = it->second;
    part.Flags |= kPartPassMark;
    part.PlayChannel = StoredChannel(part.PlayChannel);
  });
  return table;
}

// Writes the sections; 1, or 0 at the first failed write.
int WriteSections(FioHandle file, ArrFileVersion version, const ArrRec* copy, const MrkList* markers,
                  const std::vector<TakeId>& table) {
  char text[kArrFileVersionSize] = {};
  std::strncpy(text, StrText(uint32_t{IDS_ARR_V21} + version), sizeof text - 1);
  MrkList empty{0, kMrkNoSlot};
  if (markers == nullptr) markers = &empty;
  const uint32_t t = static_cast<uint32_t>(table.size());
  const ArrFileSettings settings = ArrFileSettingsNow();
  return FioWrite(file, text, sizeof text) && FioWrite(file, copy, ArrBlockSize(copy->PartCount)) &&
         FioWrite(file, markers, MrkBlockSize(std::min(markers->Count, kMrkMaxNumber))) &&
         FioWrite(file, &t, sizeof t) &&
         (t == 0 || FioWrite(file, table.data(), t * sizeof(TakeId))) &&
         FioWrite(file, &settings, sizeof settings);
}

// The temporary file a save writes beside its target, under the first free
// name "<target>.~<n>": created only when no file of that name exists and
// not shared, so a save never overwrites a file of the user's and nobody
// reads the half-written one. Invalid when none can be created.
constexpr int kTempNameTries = 1000;

FioHandle CreateTempFor(const char* path, std::string* temp) {
  for (int n = 1; n <= kTempNameTries; ++n) {
    *temp = std::string(path) + ".~" + std::to_string(n);
    if (temp->size() >= static_cast<size_t>(kTakePathSize)) return kFioInvalid;
    const FioHandle file = FioOpen(temp->c_str(), kFioCreateNew);
    if (file != kFioInvalid) return file;
    // Only a name that is taken sends us on to the next one.
    if (!FioFileExists(temp->c_str()) && !FioDirExists(temp->c_str())) return kFioInvalid;
  }
  return kFioInvalid;
}

}  // namespace

int WriteArrFile(const char* path, ArrRec* arr, const MrkList* markers, int selectedOnly) {
  if (path == nullptr || arr == nullptr) return 0;
  std::string temp;
  FileGuard file(CreateTempFor(path, &temp));
  if (!file.ok()) {
    MessageBoxById(nullptr, IDS_ARR_CANT_OPEN, kMbWarnOk, path);
    return 0;
  }
  HeapBlock<ArrRec> copy(ArrHeap, MakeWriteCopy(arr, selectedOnly));
  if (copy.get() == nullptr) {
    file.Close();
    FioDelete(temp.c_str());
    return 0;
  }
  ArrSyncTakeRefs(copy.get(), 0);
  const std::vector<TakeId> table = IndexTakes(copy.get());
  if (selectedOnly) ArrSyncTakeRefs(arr, 0);

  const ArrFileVersion version = ArrFileVersionFor(copy.get());
  if (version == kArrV22) ArrClearNewFields(copy.get());

  // The new file must be on the disk, and closed without error, before it
  // takes the old one's place.
  const int written = WriteSections(file.get(), version, copy.get(), markers, table) &&
                      FioFlush(file.get());
  const int closed = file.Close();
  if (!written || !closed || !FioReplace(temp.c_str(), path)) {
    FioDelete(temp.c_str());
    ShowError(IDS_ARR_RW_ERROR);
    return 0;
  }
  return 1;
}

// ---- Checking ----

namespace {

// The check behind CheckArrFile: 1 when the version is known and the file
// size agrees with its counts. A file with more Part slots than an
// arrangement holds passes (the reader refuses it with its own message
// when it reads the arrangement), as long as its block sizes fit 32 bits.
int CheckArrSizes(FioHandle file, uint32_t* arrSize, uint32_t* mrkSize,
                  char version[kArrFileVersionSize]) {
  uint64_t fileSize = 0;
  char text[kArrFileVersionSize];
  if (!FioGetSize(file, &fileSize) || !FioSeek(file, 0) || !ReadExact(file, text, sizeof text) ||
      ArrFileVersionOf(text) < 0)
    return 0;
  // Every count is checked against the bytes that remain before the next
  // seek, so a damaged count can neither overflow nor send us far away.
  uint32_t n = 0, m = 0, t = 0;
  uint64_t at = kArrFileVersionSize;
  if (!ReadExact(file, &n, sizeof n)) return 0;
  at += 13316 + 128 * uint64_t{n};
  if (at + 4 > fileSize || !FioSeek(file, at) || !ReadExact(file, &m, sizeof m) || m > kMrkMaxNumber)
    return 0;
  at += MrkBlockSize(m);
  if (at + 4 > fileSize || !FioSeek(file, at) || !ReadExact(file, &t, sizeof t) ||
      fileSize != ArrFileSize(n, m, t) || !FioSeek(file, kArrFileVersionSize))
    return 0;
  if (13316 + 128 * uint64_t{n} > UINT32_MAX || t > kMaxFileTakes) return 0;
  if (arrSize) *arrSize = ArrBlockSize(n);
  if (mrkSize) *mrkSize = MrkBlockSize(m);
  if (version) std::memcpy(version, text, sizeof text);
  return 1;
}

}  // namespace

int CheckArrFile(FioHandle file, uint32_t* arrSize, uint32_t* mrkSize,
                 char version[kArrFileVersionSize]) {
  return CheckArrSizes(file, arrSize, mrkSize, version);
}

int IsArrFile(const char* path) {
  if (path == nullptr) return 0;
  FileGuard file(FioOpen(path, kFioRead));
  return file.ok() && CheckArrFile(file.get(), nullptr, nullptr, nullptr);
}

// ---- Reading ----

namespace {

// Brings a Part record of an older version to the current layout.
void UpgradePart(PartRec& part, int32_t version) {
  if (version == kArrV21) {
    part.TakeKind = kTakeAudio;
    part.AutoMapValue = 0;
    part.Layer = 0;
    part.SnapPoint = 0;
  }
  if (version <= kArrV23) {
    part.XfadeInPartner = kArrNoLink;
    part.XfadeOutPartner = kArrNoLink;
    part.XfadeInWindow[0] = part.XfadeOutWindow[0] = 0;
    part.XfadeInWindow[1] = part.XfadeOutWindow[1] = 255;
    part.Reserved = 0;
  }
}

// 1 when the values of an upgraded Part are in their ranges. Everything
// that later computes with them (sections, flattening, the gain ramps, the
// play lists) relies on these: no negative span or Take offset, a Take
// span that ends within 32 bits (the length check against the Take is
// skipped for Midi Parts counting ticks), curves 0..7 (the crossfade curves
// from "AFFV2.4" on, the first version to hold them), gains up to the
// ceiling, no negative layer.
bool PartValuesSound(const PartRec& p, int32_t version) {
  const bool xfadeCurves =
      version < kArrV24 || (p.XfadeInCurve <= kMaxCurve && p.XfadeOutCurve <= kMaxCurve);
  return p.Start >= 0 && p.Length >= 0 && p.Offset >= 0 &&
         int64_t{p.Offset} + p.Length <= arrlist::kMaxPos && p.PlayChannel >= 0 &&
         p.PlayChannel <= kMaxPlayChannel && p.FadeCurve <= kMaxCurve && xfadeCurves &&
         p.GainStart <= kGainMax && p.GainEnd <= kGainMax && p.Layer >= 0;
}

// 1 when every list of the block is sound: links inside the block, no slot
// in two lists or twice in one (which also rules out cycles), no free slot
// listed, and every listed Part, upgraded from the file's version, with its
// values in their ranges. Repairs what a reader can repair: names are cut
// to their field, a snap point outside its Part becomes none (0).
int ArrBlockIsSound(ArrRec* arr, int32_t version) {
  std::vector<uint8_t> seen(arr->PartCount, 0);
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    for (uint32_t slot = arr->ListHead[track]; slot != kArrNoSlot;) {
      PartRec* part = ArrPart(arr, slot);
      if (part == nullptr || seen[slot]) return 0;
      seen[slot] = 1;
      UpgradePart(*part, version);
      if (!PartValuesSound(*part, version)) return 0;
      if (part->SnapPoint < 0 || part->SnapPoint >= part->Length) part->SnapPoint = 0;
      part->Name[sizeof part->Name - 1] = '\0';
      slot = part->Next;
    }
  }
  return 1;
}

// 1 when the marker list is sound: the chain's links inside the list, no
// cycle, every chained marker in use and the chain in position order, and
// every marker in use on the chain with a position of 0 or more. Names are
// cut to their field.
int MrkListIsSound(MrkList* list) {
  std::vector<uint8_t> seen(list->Count, 0);
  int64_t last = 0;
  for (uint32_t slot = list->First; slot != kMrkNoSlot;) {
    MrkRec* mrk = MrkSlot(list, slot);
    if (mrk == nullptr || seen[slot] || mrk->Position < last) return 0;
    seen[slot] = 1;
    last = mrk->Position;
    slot = mrk->Next;
  }
  for (uint32_t slot = 0; slot < list->Count; ++slot) {
    MrkRec* mrk = MrkSlot(list, slot);
    if (mrk->Position != kMrkUnused && !seen[slot]) return 0;
    mrk->Name[63] = '\0';
  }
  return 1;
}

// 1 when the Take holds the Part's span; Midi Parts whose Take counts ticks
// are not measured in samples and always pass.
int TakeHoldsPart(TakeRec* take, const PartRec& part) {
  if (TakeTickResolution(take, part.TakeKind) != 0) return 1;
  const int64_t need = int64_t{part.Offset} + part.Length;
  return TakeLenAtKind(take, part.TakeKind, part.Start) >= need;
}

struct TakeLookup {
  int searched;
  uint32_t kind;
  TakeRec* take;
};

struct ReadState {
  const ArrReadRequest& req;
  ArrReadProgress* progress;
  int32_t version = -1;
  HeapBlock<ArrRec> arr{ArrHeap, nullptr};
  HeapBlock<MrkList> markers{MrkHeap, nullptr};
  std::vector<TakeId> table;
  std::vector<TakeLookup> found;  // per table entry
  ArrFileSettings settings{};
  int dropped = 0;
};

// Reads a block of `size` bytes into a fresh block of its heap: it must
// hold `size` bytes by its own count (blockSize) and be sound. 0 (message
// shown) on failure.
template <typename T, typename BlockSize, typename Sound>
int ReadCheckedBlock(HeapBlock<T>& block, FioHandle file, uint32_t size, BlockSize blockSize,
                     Sound sound) {
  if (!block.Alloc(size)) return ShowError(IDS_GLOBAL_ALLOC_FAILED), 0;
  if (!ReadExact(file, block.get(), size)) return ShowError(IDS_ARR_RW_ERROR), 0;
  if (blockSize(*block.get()) != size || !sound(block.get())) return ShowError(IDS_ARR_INVALID), 0;
  return 1;
}

int ReadArrBlock(ReadState& st, FioHandle file, uint32_t arrSize) {
  return ReadCheckedBlock(
      st.arr, file, arrSize, [](const ArrRec& a) { return ArrBlockSize(a.PartCount); },
      [&st](ArrRec* a) { return ArrBlockIsSound(a, st.version); });
}

int ReadMarkers(ReadState& st, FioHandle file, uint32_t mrkSize) {
  return ReadCheckedBlock(
      st.markers, file, mrkSize, [](const MrkList& m) { return MrkBlockSize(m.Count); },
      MrkListIsSound);
}

// The Take of table entry part.Take for the Part's kind; null when the
// index is outside the table or no Take matches. Parts sharing an entry
// share the search.
TakeRec* FindTake(ReadState& st, const PartRec& part) {
  if (part.Take >= st.table.size()) return nullptr;
  TakeLookup& known = st.found[part.Take];
  if (!known.searched || known.kind != part.TakeKind) {
    known = {1, part.TakeKind, TakeFindByStamp(st.table[part.Take], part.TakeKind, st.req.Path)};
  }
  return known.take;
}

// Binds every listed (upgraded) Part to its Take; Parts whose Take is
// missing, of another kind or too short are dropped: a Part of one kind
// bound to a Take of another would load or not depending on whether that
// Take happened to be open (the search by id through the open Takes is
// kind-blind, the folder search is not). 0 when the user cancelled.
int BindParts(ReadState& st) {
  ArrRec* arr = st.arr.get();
  if (st.version == kArrV21)
    for (TrkRec& trk : arr->Trk)
      if (trk.RecTrack != 0) trk.RecKind = kTakeAudio;

  int32_t total = 0;
  arrlist::WalkAll(arr, [&](uint32_t, uint32_t, PartRec&) { ++total; });
  if (st.progress) st.progress->SetRange(total);

  int32_t done = 0;
  int cancelled = 0;
  arrlist::WalkAllTakingOut(arr, [&](uint32_t track, uint32_t slot, PartRec& part) {
    if (cancelled) return;
    TakeRec* take = FindTake(st, part);
    if (take != nullptr && TakeGetAttr(take, kTakeAttrKind) == part.TakeKind &&
        TakeHoldsPart(take, part)) {
      part.Take = TakeRef(take);
    } else {
      ArrUnlinkPart(arr, slot, track);
      st.dropped = 1;
    }
    if (st.progress && st.progress->Step(++done)) cancelled = 1;
  });
  return !cancelled;
}

void RepairArr(ArrRec* arr) {
  ArrCheckRecTrkAssign(arr);
  ArrRelinkOverlaps(arr);
  ArrCheckXfades(arr, 0);
  ArrCheckPartLinks(arr, 1, nullptr);
  ArrCheckPartNames(arr, 1, nullptr);
}

// Applies the settings block in its order; a version 2.1 file holds none of
// the automation and snapshot settings, which get their defaults.
void ApplySettings(const ArrFileSettings& f, int32_t version, int markersRead, const MrkList* markers) {
  SetArrParam(0, f.SampleRate);
  SetArrParam(2, f.FrameRate);
  SetArrParam(3, (f.MeterNum << 16) | (f.MeterDen & 0xFFFF));
  SetArrParam(4, f.Tempo);
  SetArrParam(7, f.PlayRecMode);
  SetArrParam(8, f.PreRoll);
  SetArrParam(5, f.TcOffset);
  SetArrParam(1, f.SyncSource);
  SetArrParam(9, f.PostRoll);
  SetArrParam(10, f.MaxRecTime);
  SetLocator(kLocLeftPrime, f.LeftLoc);
  SetLocator(kLocRightPrime, f.RightLoc);
  const bool old = version == kArrV21;
  SetArrParam(11, old ? 1000 : f.TouchTimeout);
  SetArrParam(12, old ? 1000 : f.ReturnTime);
  SetArrParam(13, old ? 0 : f.ThinFactor);
  SetArrParam(14, old ? 0 : f.AutoRecMode);
  SetArrParam(15, old ? 0 : f.AutoFlags);
  SetArrParam(16, old ? f.SampleRate : f.SnapshotLen);
  SetArrParam(17, old ? 0 : f.SnapshotFadeIn);
  SetArrParam(18, old ? 0 : f.SnapshotFadeOut);
  SetArrParam(19, old ? 0 : f.SnapshotFlags);

  ConsoleNotifySampleRate(Settings().SampleRate);
  ConsoleNotifyFrameRate(Settings().CurFrameRate);
  ConsoleNotifyTimecodeOffset(Settings().TcOffset);
  NinePinSetTimecodeFormat(Settings().CurFrameRate);
  if (markersRead)
    for (uint32_t n = 1; n <= kMrkMaxNumber; ++n) ConsoleNotifyMarker(markers, n);
  ArrChangeCountSet(0);
  MixChangeCountSet(0);
}

}  // namespace

int ReadArrFile(const ArrReadRequest& req, ArrReadProgress* progress) {
  if (req.Path == nullptr) return 0;
  ReadState st{req, progress, -1, {ArrHeap, nullptr}, {MrkHeap, nullptr}, {}, {}, {}, 0};
  FileGuard file(FioOpen(req.Path, kFioRead));
  if (!file.ok()) return ShowError(IDS_ARR_NOT_FOUND), 0;
  uint32_t arrSize = 0, mrkSize = 0;
  char text[kArrFileVersionSize];
  if (!CheckArrFile(file.get(), &arrSize, &mrkSize, text)) return ShowError(IDS_ARR_INVALID), 0;
  st.version = ArrFileVersionOf(text);

  const uint64_t mrkAt = kArrFileVersionSize + uint64_t{arrSize};
  const uint64_t takesAt = mrkAt + mrkSize;
  if (req.Arr) {
    // Refused before its block is allocated: the count alone says it.
    if (arrSize > ArrBlockSize(kArrMaxParts)) return ShowError(IDS_MAX_PARTS_REACHED), 0;
    if (!ReadArrBlock(st, file.get(), arrSize)) return 0;
  } else if (!SkipBytes(file.get(), kArrFileVersionSize, arrSize)) {
    return ShowError(IDS_ARR_RW_ERROR), 0;
  }
  if (req.Markers) {
    if (!ReadMarkers(st, file.get(), mrkSize)) return 0;
  } else if (!SkipBytes(file.get(), mrkAt, mrkSize)) {
    return ShowError(IDS_ARR_RW_ERROR), 0;
  }

  uint32_t t = 0;
  if (!ReadExact(file.get(), &t, sizeof t)) return ShowError(IDS_ARR_RW_ERROR), 0;
  const uint64_t settingsAt = takesAt + sizeof t + uint64_t{t} * sizeof(TakeId);
  if (req.Arr) {
    st.table.resize(t);
    st.found.assign(t, TakeLookup{0, 0, nullptr});
    if (t != 0 && !ReadExact(file.get(), st.table.data(), t * sizeof(TakeId)))
      return ShowError(IDS_ARR_RW_ERROR), 0;
    if (!BindParts(st)) return 0;
    st.table.clear();
    RepairArr(st.arr.get());
  }
  if (!FioSeek(file.get(), settingsAt) || !ReadExact(file.get(), &st.settings, sizeof st.settings))
    return ShowError(IDS_ARR_RW_ERROR), 0;
  file.Close();

  if (req.ApplySettings) ApplySettings(st.settings, st.version, req.Markers != nullptr, st.markers.get());
  if (req.Tempo) *req.Tempo = st.settings.Tempo;
  if (req.Arr) {
    if (*req.Arr) ArrHeap.Free(*req.Arr);
    *req.Arr = st.arr.release();
  }
  if (req.Markers) {
    if (*req.Markers) MrkHeap.Free(*req.Markers);
    *req.Markers = st.markers.release();
  }
  if (st.dropped) {
    if (req.Error) *req.Error = IDS_ARR_TAKES_MISSING;
    else ShowError(IDS_ARR_TAKES_MISSING);
  }
  return 1;
}

// ---- Merging and flattening ----

ArrRec* ArrAppendArr(ArrRec* target, ArrRec* loaded, uint32_t* error) {
  if (target == nullptr || loaded == nullptr) return target;
  ArrClearSelection(target, nullptr, 0);
  arrlist::WalkAll(loaded, [](uint32_t, uint32_t, PartRec& part) { part.Flags |= kPartSelected; });
  int32_t offset = Locs().NowLoc;
  return ArrCopyParts(nullptr, target, loaded, &offset, 0, 1, 0, 0, 0, 0, 0, error);
}

namespace {

// The Part P cut to its visible section {s, l}, as a layer-0 Part without
// overlap or crossfade links. The section lies inside P, but P's own fields
// may come from anywhere (a snap point near -2^31, an offset near 2^31), so
// the arithmetic is 64-bit and its results are kept within 32 bits.
PartRec SectionPart(const PartRec& p, const ArrSection& sec) {
  PartRec out = p;
  const int64_t cut = int64_t{sec.Start} - p.Start;
  out.Offset = arrlist::Clamp32(int64_t{p.Offset} + cut, INT32_MIN, arrlist::kMaxPos);
  const int64_t snap = int64_t{p.SnapPoint} - cut;
  out.SnapPoint = snap < 0 || snap >= sec.Length ? 0 : static_cast<int32_t>(snap);
  if (p.TakeKind == kTakeAudio) {
    out.GainStart = ArrPartGainAt(arrlist::Clamp32(cut, INT32_MIN, arrlist::kMaxPos), p);
    out.GainEnd = ArrPartGainAt(arrlist::Clamp32(cut + sec.Length, INT32_MIN, arrlist::kMaxPos), p);
  }
  out.Length = sec.Length;
  out.Start = sec.Start;
  out.Layer = 0;
  out.OverlapLink = out.XfadeInPartner = out.XfadeOutPartner = kArrNoLink;
  out.XfadeInWindow[0] = out.XfadeOutWindow[0] = 0;
  out.XfadeInWindow[1] = out.XfadeOutWindow[1] = 255;
  out.Next = kArrNoSlot;
  return out;
}

}  // namespace

ArrRec* ArrFlattenCopy(ArrRec* arr, uint32_t* error) {
  if (arr == nullptr) return arr;
  uint32_t err = 0;
  HeapBlock<ArrRec> flat(ArrHeap, ArrNew(&err));
  if (flat.get() == nullptr || !ArrReserveParts(flat.addr(), arr->PartCount, 1, &err)) {
    if (error) *error = err;
    return arr;
  }
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    flat.get()->Trk[track] = arr->Trk[track];
    ArrSection sec{-1, 0, 0};
    while (ArrNxtVisibleSection(arr, track, &sec)) {
      const PartRec* p = ArrPart(arr, static_cast<uint32_t>(sec.Part));
      if (p == nullptr) continue;
      if (flat.get()->PartCount >= kArrMaxParts) {
        if (error) *error = IDS_MAX_PARTS_REACHED;
        return arr;
      }
      if (!ArrInsertPart(flat.addr(), SectionPart(*p, sec), nullptr, track, &err)) {
        if (error) *error = err;
        return arr;
      }
    }
  }
  ArrHeap.Free(arr);
  ArrRec* out = flat.release();
  ArrCheckPartLinks(out, 1, nullptr);
  return out;
}
