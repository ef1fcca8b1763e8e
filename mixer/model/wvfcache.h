// The waveform overview folder as a cache: the file of a Take, whether it
// exists, and the purge of files whose Take is no longer open.
#pragma once

#include <cstddef>
#include <cstdint>

struct TakeRec;
struct TakeId;

// Replaces the file-name part of `path` (a buffer of `size` bytes holding the
// waveform folder) by the Take's stamp name, "." and string 39. 1, or 0 with
// the path unchanged when it does not fit.
int WvfCacheName(const TakeRec* take, char* path, size_t size);

// WvfCacheName, then 1 when that file exists and is not a folder.
int WvfCacheExists(const TakeRec* take, char* path, size_t size);

// Deletes every "*.WVF" file of the folder whose id (the 8 bytes at offset
// 9) no open Take carries (the Take store's open records; no folder is
// searched), damaged files and files too short for an id included: they are
// caches, rebuilt on demand. A file that cannot be opened ends the purge.
void WvfCachePurge(const char* dir);

// The purge with the open-Take test given: `isOpen(id, user)` answers 1 for
// an id that an open Take carries.
using WvfTakeIsOpenFn = int (*)(const TakeId& id, void* user);
void WvfCachePurgeIf(const char* dir, WvfTakeIsOpenFn isOpen, void* user);
