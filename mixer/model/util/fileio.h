// A small file layer of our own: whole-file and path operations with
// Windows path texts ('\' between folders). The POSIX build maps '\' to '/';
// the Windows build (win32/fileio_win.cpp) calls the system directly.
#pragma once

#include <cstdint>
#include <functional>

// A FILETIME as stored in files: 100 ns units since 1601-01-01 UTC, low
// word first.
struct FileTimeRec {
  uint32_t Low;
  uint32_t High;
};
static_assert(sizeof(FileTimeRec) == 8);

// An open file; kFioInvalid when none. Wide enough for a system handle in
// either build.
using FioHandle = intptr_t;
inline constexpr FioHandle kFioInvalid = -1;

enum FioMode : int {
  kFioRead = 0,         // existing file, read only (others may read and write)
  kFioReadWrite = 1,    // existing file, read and write
  kFioCreateAlways = 2, // new or emptied file, read and write
  kFioCreateNew = 3     // a file that does not exist yet, read and write, not shared
};

FioHandle FioOpen(const char* path, FioMode mode);
// Closes the file; 0 when the system reports an error (written data may be
// lost), else 1.
int FioClose(FioHandle file);
// Writes the file's buffered data through to the disk; 1 or 0.
int FioFlush(FioHandle file);
// Reads up to `size` bytes at the current position; *got receives the count
// read. 1, or 0 on an error.
int FioRead(FioHandle file, void* buf, uint32_t size, uint32_t* got);
// Reads up to `size` bytes from `position` in one call, as FioSeek then
// FioRead would (the file position afterwards is not relied on).
int FioReadAt(FioHandle file, uint64_t position, void* buf, uint32_t size, uint32_t* got);
// Writes all `size` bytes; 1, or 0 when not all were written.
int FioWrite(FioHandle file, const void* buf, uint32_t size);
int FioSeek(FioHandle file, uint64_t position);
int FioGetSize(FioHandle file, uint64_t* size);
// Makes the file exactly `size` bytes long (longer or shorter).
int FioSetSize(FioHandle file, uint64_t size);

// A read-only view of a stretch of an open file, mapped into memory: `data`
// shows `size` bytes of the file from `offset` on, and reads there see what
// writes through the file's handles put there. Empty (null data) when none.
struct FioView {
  const uint8_t* data = nullptr;
  uint64_t offset = 0;
  uint32_t size = 0;
};
// Views start at multiples of this: the system's allocation granularity on
// Windows, a whole number of pages elsewhere.
inline constexpr uint32_t kFioViewAlign = 65536;
// Maps up to `size` bytes from `offset` (a multiple of kFioViewAlign) into
// *view, cut at the file's size at the time of the call. 1 with the view; 0
// with an empty view when there is none: nothing of the file from `offset`
// on, or the system refused (the caller then reads instead). A view must be
// released before its file is closed, and before its file is cut shorter:
// Windows refuses to cut a file that has a view, and on POSIX systems
// reading a page of a view past the file's new end raises SIGBUS, which
// nothing here guards against when another process cuts the file.
int FioMapView(FioHandle file, uint64_t offset, uint32_t size, FioView* view);
// Releases a view and leaves it empty; an empty view stays as it is.
void FioUnmapView(FioView* view);

// 1 when a file (not a folder) / a folder of that path exists.
int FioFileExists(const char* path);
int FioDirExists(const char* path);
// Creates one folder; 1 when it exists afterwards.
int FioCreateDir(const char* path);
// Deletes a file; 1 or 0.
int FioDelete(const char* path);
// Renames or moves a file; fails when the destination exists.
int FioRename(const char* from, const char* to);
// Moves `from` onto `to`, replacing an existing file: the last step of a
// safe save, after the new file was written completely beside the old one.
int FioReplace(const char* from, const char* to);
// Creation and last-write times as the file system reports them.
int FioFileTimes(const char* path, FileTimeRec* created, FileTimeRec* modified);
// Free bytes available to the caller on the volume of that folder; 0 when
// it cannot be read.
uint64_t FioDiskFree(const char* dir);

// Calls fn(name, isDir) for every entry of the folder except "." and "..",
// in the order the file system gives; stops when fn returns 0. 1 when the
// folder could be read.
using FioEnumFn = std::function<int(const char* name, int isDir)>;
int FioEnumDir(const char* dir, const FioEnumFn& fn);

// Current time as a FILETIME (UTC).
FileTimeRec FioNow();
