// State of the Take store shared by its source files (not for other users).
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mixer/model/take.h"

inline constexpr uint32_t kTakeChains = 1024;
inline constexpr uint32_t kTakePoolBlock = 128;

struct TakeJournalEntry {
  int32_t level;
  uint32_t op;  // TakeJournalOp
  char first[kTakePathSize];
  char second[kTakePathSize];
  TakeRec* take;  // or null
};

struct TakeStoreState {
  bool open = false;
  std::vector<std::unique_ptr<TakeRec[]>> blocks;  // the pool; never shrinks
  std::vector<TakeRec*> byRef;                     // reference r is byRef[r - 1]
  TakeRec* chains[kTakeChains] = {};
  std::mutex nameLock;  // the name set; the recorder's threads look paths up
  TakeRec* openList = nullptr;
  TakeRec* freeList = nullptr;
  TakeRec* ringHead = nullptr;

  // One directory scan at a time: the names read at its start.
  bool scanning = false;
  std::string scanDir;
  std::vector<std::string> scanNames;
  size_t scanIndex = 0;
  TakeRec* scanLast = nullptr;

  // Memory of TakeFindByStamp.
  char lastFoundDir[kTakePathSize] = {};
  char prevBaseDir[kTakePathSize] = {};
  uint32_t addedCount = 0;

  // Journal, oldest first.
  std::list<TakeJournalEntry> journal;
  int32_t level = -1;
  int32_t top = -1;
};

TakeStoreState& TakeStore();
// Directories DomainDirectory1..8, kept across store openings.
char (&TakeDomainDirs())[8][kTakePathSize];

// Name set.
uint32_t TakePathHash(const char* path);
void TakeNameInsert(TakeRec* take);
int TakeNameRemove(TakeRec* take);

// The open record of a path, or a new one read from the file; *added is set
// when a record was allocated. Null when the file is no valid Take.
TakeRec* TakeOpenPath(const char* path, int* added);

// Adds an entry at the current level.
void TakeJournalAdd(uint32_t op, const char* first, const char* second, TakeRec* take);
// Drops every entry that names the record.
void TakeJournalForget(const TakeRec* take);
