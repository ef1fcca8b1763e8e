// The file layer over the Win32 file calls (ANSI paths), for the Windows
// builds.
#include <windows.h>

#include <string>

#include "mixer/model/util/fileio.h"
#include "mixer/model/util/fileio_map.h"

namespace {

HANDLE H(FioHandle file) { return reinterpret_cast<HANDLE>(file); }

FileTimeRec ToRec(const FILETIME& t) { return {t.dwLowDateTime, t.dwHighDateTime}; }

DWORD Attributes(const char* path) { return GetFileAttributesA(path); }

}  // namespace

FioHandle FioOpen(const char* path, FioMode mode) {
  DWORD access = mode == kFioRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  DWORD how = mode == kFioCreateAlways ? CREATE_ALWAYS
             : mode == kFioCreateNew  ? CREATE_NEW
                                      : OPEN_EXISTING;
  DWORD share = mode == kFioCreateNew ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE h = CreateFileA(path, access, share, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kFioInvalid;
  return reinterpret_cast<FioHandle>(h);
}

int FioClose(FioHandle file) {
  return file != kFioInvalid && CloseHandle(H(file)) ? 1 : 0;
}

int FioFlush(FioHandle file) {
  return file != kFioInvalid && FlushFileBuffers(H(file)) ? 1 : 0;
}

int FioRead(FioHandle file, void* buf, uint32_t size, uint32_t* got) {
  DWORD n = 0;
  BOOL ok = ReadFile(H(file), buf, size, &n, nullptr);
  if (got) *got = n;
  return ok != 0;
}

int FioReadAt(FioHandle file, uint64_t position, void* buf, uint32_t size, uint32_t* got) {
  // On a handle opened for synchronous access the offset in the OVERLAPPED
  // record positions this read alone.
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(position);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  DWORD n = 0;
  const BOOL ok = ReadFile(H(file), buf, size, &n, &at);
  if (got) *got = n;
  // Reading at or past the end is an empty read, as with FioRead.
  return ok != 0 || GetLastError() == ERROR_HANDLE_EOF;
}

int FioWrite(FioHandle file, const void* buf, uint32_t size) {
  DWORD n = 0;
  return WriteFile(H(file), buf, size, &n, nullptr) && n == size;
}

int FioSeek(FioHandle file, uint64_t position) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(H(file), at, nullptr, FILE_BEGIN) != 0;
}

int FioGetSize(FioHandle file, uint64_t* size) {
  LARGE_INTEGER s;
  if (!GetFileSizeEx(H(file), &s)) return 0;
  *size = static_cast<uint64_t>(s.QuadPart);
  return 1;
}

int FioSetSize(FioHandle file, uint64_t size) {
  return FioSeek(file, size) && SetEndOfFile(H(file)) != 0;
}

uint32_t FioMapUnit() {
  static const DWORD granularity = [] {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity;
  }();
  return granularity;
}

const uint8_t* FioMapBytes(FioHandle file, uint64_t offset, uint32_t size) {
  // A mapping of the whole file as it is now; should the file have shrunk
  // since its size was read, the view below fails and the caller reads.
  HANDLE mapping = CreateFileMappingA(H(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return nullptr;
  void* p = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                          static_cast<DWORD>(offset), size);
  // The view holds the mapping open until it is unmapped.
  CloseHandle(mapping);
  return static_cast<const uint8_t*>(p);
}

void FioUnmapBytes(const uint8_t* data, uint32_t) { UnmapViewOfFile(data); }

int FioFileExists(const char* path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

int FioDirExists(const char* path) {
  std::string p(path);
  while (p.size() > 3 && p.back() == '\\') p.pop_back();
  DWORD a = Attributes(p.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int FioCreateDir(const char* path) {
  CreateDirectoryA(path, nullptr);
  return FioDirExists(path);
}

int FioDelete(const char* path) { return DeleteFileA(path) != 0; }

int FioRename(const char* from, const char* to) { return MoveFileA(from, to) != 0; }

int FioReplace(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

int FioFileTimes(const char* path, FileTimeRec* created, FileTimeRec* modified) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
  if (created) *created = ToRec(data.ftCreationTime);
  if (modified) *modified = ToRec(data.ftLastWriteTime);
  return 1;
}

uint64_t FioDiskFree(const char* dir) {
  ULARGE_INTEGER avail;
  if (!GetDiskFreeSpaceExA(dir, &avail, nullptr, nullptr)) return 0;
  return avail.QuadPart;
}

int FioEnumDir(const char* dir, const FioEnumFn& fn) {
  std::string pattern(dir);
  if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    if (!fn(data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) break;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return 1;
}

FileTimeRec FioNow() {
  FILETIME t;
  GetSystemTimeAsFileTime(&t);
  return ToRec(t);
}
