// Take files and the Take store: the in-memory record of every open Take
// file, the file's head record, creation with unique names, search by
// identity, rename, move and delete, the ring of Takes in use and the journal
// of file operations that undo drives.
//
// References: a Take is named everywhere outside the store (PartRec::Take,
// play events, undo snapshots) by a 32-bit reference, never by a pointer, so
// that records keep one layout in 32- and 64-bit builds. The store keeps a
// handle table: every record gets a reference (1, 2, ...) when its pool block
// is made, keeps it for the store's life, and TakeFromRef turns it back into
// the record while the record is open. 0 is no Take. A reference to a freed
// record gives null until the record is reused for a new Take. TakeFromRef
// may be called on any thread; a recorder thread then checks the path under
// the Take's lock, since the user-interface thread may free it meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "mixer/model/util/fileio.h"
#include "mixer/model/timecode.h"

enum TakeKind : uint32_t {
  kTakeAudio = 3,
  kTakeAutom = 20,
  kTakeMidi = 21,
};

// Identity of a Take for life: local date and time in BCD, a 55 ms tick and a
// sequence counter (see NewTakeId).
struct TakeId {
  uint8_t Bytes[8];
};
static_assert(sizeof(TakeId) == 8);

inline constexpr uint32_t kTakeVersionSize = 8;  // "TFFV1.5" and its NUL
inline constexpr uint32_t kTakeHeaderSize = 514;
inline constexpr uint32_t kTakeDataOffset = 522;  // file offset of the data
inline constexpr int kTakeNameMax = 63;           // file name stem, characters
inline constexpr int kTakePathSize = 260;

#pragma pack(push, 1)
// The header at file offset 8, little-endian.
struct TakeHeader {
  char Name[64];          // file name without extension; written, never read back
  char Description[128];
  FileTimeRec Created;
  FileTimeRec Modified;   // time of the last header write
  TakeId Id;
  uint8_t Zero1[8];
  uint32_t CreatorValue;
  uint32_t SampleRate;    // Hz; 0 = the project's rate
  uint32_t FrameRate;     // FrameRateCode; 0 = the project's code
  TcRec TcStamp;          // time code of the recording start
  uint32_t Kind;          // TakeKind
  uint32_t Word1;
  uint32_t Word2;
  uint32_t Word3;
  uint32_t Word4;         // 0 for Midi
  uint8_t Zero2[244];
  uint32_t DataStart;     // first valid data byte, relative to offset 522
  uint32_t DataEnd;       // data bytes in the file
};
// The whole head of a Take file: version text and header.
struct TakeFileHead {
  char Version[8];
  TakeHeader Header;
};
#pragma pack(pop)
static_assert(sizeof(TakeHeader) == 514);
static_assert(offsetof(TakeHeader, Description) == 64);
static_assert(offsetof(TakeHeader, Created) == 192);
static_assert(offsetof(TakeHeader, Modified) == 200);
static_assert(offsetof(TakeHeader, Id) == 208);
static_assert(offsetof(TakeHeader, CreatorValue) == 224);
static_assert(offsetof(TakeHeader, SampleRate) == 228);
static_assert(offsetof(TakeHeader, FrameRate) == 232);
static_assert(offsetof(TakeHeader, TcStamp) == 236);
static_assert(offsetof(TakeHeader, Kind) == 242);
static_assert(offsetof(TakeHeader, Word1) == 246);
static_assert(offsetof(TakeHeader, Word4) == 258);
static_assert(offsetof(TakeHeader, DataStart) == 506);
static_assert(offsetof(TakeHeader, DataEnd) == 510);
static_assert(sizeof(TakeFileHead) == kTakeDataOffset);

// Flag bits of TakeImage::flags.
inline constexpr uint32_t kTakeWaveChecked = 1;  // overview existence checked
inline constexpr uint32_t kTakeWaveExists = 2;   // overview file exists
inline constexpr uint32_t kTakeWasInRing = 4;    // in the ring before the last rebuild

// The header image: what ReadTakeHeader fills and TakeAlloc copies.
struct TakeImage {
  char path[kTakePathSize];  // full path; empty after the Take was freed
  char description[128];
  FileTimeRec created;
  FileTimeRec modified;
  TakeId id;
  uint32_t creatorValue;
  uint32_t sampleRate;
  uint32_t frameRate;
  TcRec tcStamp;
  uint32_t kind;
  uint32_t word1;
  uint32_t word2;
  uint32_t word3;
  uint32_t word4;  // Midi: the in-memory MIDI log handle, not stored
  uint32_t word5;  // Automation: the in-memory automation log handle
  uint32_t dataOffset;  // always 522
  uint32_t dataStart;
  uint32_t dataEnd;
  uint32_t flags;
};

// One open Take file. Records come from the store's pool and are reused,
// never given back before the store closes.
struct TakeRec : TakeImage {
  std::mutex lock;             // sample transfer, rename, move, resize, free
  FioHandle file = kFioInvalid;  // open for sample transfer, or invalid
  FioView view;                // a window of the file through `file`, or empty
  uint32_t bucket = 0;         // chain index in the name set
  TakeRec* nameNext = nullptr;
  TakeRec* ringNext = nullptr;  // null when not in the ring
  TakeRec* next = nullptr;      // open list or free list
  uint32_t ref = 0;             // the record's reference (see top of file)
  // True while the record holds an open Take. Read and written only under
  // the name-set lock, so that TakeFromRef on another thread never reads a
  // field that the Take's own lock guards.
  bool live = false;
};

// Store lifetime.
int TakeStoreOpen();
void TakeStoreClose();

// References.
uint32_t TakeRef(const TakeRec* take);
TakeRec* TakeFromRef(uint32_t ref);

// Header file access.
int ReadTakeHeader(const char* path, TakeImage* image);
int WriteTakeHeader(TakeRec* take, int newFile);
// Checks a file head of `fileSize` bytes in all; 1 when it describes a valid
// Take file. The reader's checks without the file access.
int TakeHeadIsValid(const TakeFileHead& head, uint64_t fileSize);

// Records.
TakeRec* TakeAlloc(const TakeImage& image);
// Releases the Take's view and closes its transfer handle, under the Take's
// lock: before anything renames, moves, resizes or frees its file.
void TakeCloseHandle(TakeRec* take);
int TakeFree(TakeRec* take);
int TakeIsOpen(const TakeRec* take);
TakeRec* TakeOpenFile(const char* path);
// The open record of that path, or null.
TakeRec* TakeLookupPath(const char* path);

// Directory scan (directory ends in '\').
TakeRec* TakeFindFirst(const char* dir);
TakeRec* TakeFindNext(TakeRec* previous);
void TakeFindClose();
TakeRec* TakeFindByStamp(const TakeId& id, uint32_t kind, const char* pathInBase);
// Search directories DomainDirectory1..8 (index 0..7); up to 259 characters.
void TakeSetDomainDirectory(int index, const char* dir);

// Creation. Errors through *error (may be null).
TakeRec* TakeCreate(const TakeImage& image, const char* name, const char* dir, uint32_t dataBytes,
                    uint32_t creatorValue, uint32_t sampleRate, uint32_t frameRate, int inUse,
                    const char* description, const TcRec* tcStamp, const TakeId* id,
                    uint32_t* error);
TakeRec* TakeCreateAudio(const char* dir, uint32_t bytesPerSample, uint32_t samples,
                         uint32_t creatorValue, uint32_t sampleRate, uint32_t frameRate, int inUse,
                         const char* name, const char* description, const TcRec* tcStamp,
                         const TakeId* id, uint32_t* error);
TakeRec* TakeCreateAutom(const char* dir, uint32_t entries, uint32_t word3, uint32_t word4,
                         uint32_t dataBytes, uint32_t creatorValue, uint32_t sampleRate,
                         uint32_t frameRate, int inUse, const char* name,
                         const char* description, const TcRec* tcStamp, const TakeId* id,
                         uint32_t* error);
TakeRec* TakeCreateMidi(const char* dir, uint32_t tickResolution, uint32_t entries, uint32_t word3,
                        uint32_t dataBytes, uint32_t creatorValue, uint32_t sampleRate,
                        uint32_t frameRate, int inUse, const char* name,
                        const char* description, const TcRec* tcStamp, const TakeId* id,
                        uint32_t* error);
void NewTakeId(TakeId* id);

// Delete, rename, move.
int TakeDelete(TakeRec* take, int journal);
int TakeDeleteFile(TakeRec* take);
int TakeMoveToReBin(TakeRec* take);
int TakeRenameFile(TakeRec* take, const char* newPath, uint32_t* error, int journal);
// dest (kTakePathSize bytes) receives the name actually used.
int TakeMoveFile(TakeRec* take, char* dest, int silent, uint32_t* error, int journal);
// Moves a file like the shell: creates the destination folder, renames the
// destination on a collision ("name (2).ext") and writes the name used back
// into dest (destSize bytes). 1 or 0.
int ShellMovePath(const char* from, char* dest, int destSize);
int FileDeleteByPath(const char* path);
int FileSetSize(const char* path, uint64_t size, int create);
// The rebin path of a Take file: its directory + "qvReBin\" + file name.
int TakeReBinPath(const char* path, char* out, int size);

// Ring of Takes in use.
TakeRec* TakeRingFirst();
TakeRec* TakeRingNext(TakeRec* take);
int TakeInRing(const TakeRec* take);
void TakeRingAdd(TakeRec* take);
void TakeRingClear();
void TakeRingCloseOthers(int repaint);

// Other.
int TakeCheckIoError();
uint64_t DiskFreeUsable(const char* dir);
// Name texts: extension (string 34/35/36, "" for others) and default name
// (365/367/369, "Unknown Take" for others).
const char* TakeKindExt(uint32_t kind);
const char* TakeKindName(uint32_t kind);
// 1 when the file name's extension fits the kind (any of the three for
// other kinds).
int TakeNameFitsKind(const char* path, uint32_t kind);

// File-operation journal, driven by the undo store.
enum TakeJournalOp : uint32_t { kJournalCreated = 1, kJournalRenamed = 2 };
void TakeJournalNewLevel();
int TakeJournalUndo(int keepForRedo, int doUndo, uint32_t* error);
int TakeJournalRedo();
void TakeJournalDiscard(uint32_t levels);
// Number of undo levels, 1..99 (from the undo store's settings).
void TakeJournalSetUndoLevels(int32_t levels);
int32_t TakeJournalLevel();
int32_t TakeJournalTop();
