// The file layer over POSIX calls, for the native build. Windows path texts
// are used throughout the model; here '\' becomes '/'.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "mixer/model/util/fileio.h"
#include "mixer/model/util/fileio_map.h"

namespace {

std::string NativePath(const char* path) {
  std::string out(path ? path : "");
  for (char& c : out)
    if (c == '\\') c = '/';
  // A trailing separator names the folder itself.
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

int Fd(FioHandle file) { return static_cast<int>(file); }

// 100 ns units between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDelta = 116444736000000000ull;

FileTimeRec ToFileTime(const timespec& t) {
  uint64_t v = kEpochDelta + static_cast<uint64_t>(t.tv_sec) * 10000000ull +
               static_cast<uint64_t>(t.tv_nsec) / 100;
  return {static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32)};
}

}  // namespace

FioHandle FioOpen(const char* path, FioMode mode) {
  int flags = mode == kFioRead ? O_RDONLY : O_RDWR;
  if (mode == kFioCreateAlways) flags |= O_CREAT | O_TRUNC;
  if (mode == kFioCreateNew) flags |= O_CREAT | O_EXCL;
  const bool creates = mode == kFioCreateAlways || mode == kFioCreateNew;
  std::string p = NativePath(path);
  // An existing file is opened first and checked through its descriptor:
  // one walk of the path instead of two for every open. O_NONBLOCK keeps the
  // open of a pipe from waiting for a writer before it is refused; on a
  // regular file it changes nothing.
  int fd = open(p.c_str(), flags | O_CLOEXEC | (creates ? 0 : O_NONBLOCK), 0644);
  if (fd < 0) return kFioInvalid;
  struct stat st{};
  if (!creates && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    return kFioInvalid;
  }
  return fd;
}

int FioClose(FioHandle file) {
  return file != kFioInvalid && close(Fd(file)) == 0 ? 1 : 0;
}

int FioFlush(FioHandle file) { return file != kFioInvalid && fsync(Fd(file)) == 0 ? 1 : 0; }

namespace {

// Reads until `size` bytes are in or the file ends; readSome(done) makes one
// system read of the bytes from `done` on and returns its result.
template <class ReadSome> int ReadAll(uint32_t size, uint32_t* got, ReadSome readSome) {
  uint32_t done = 0;
  while (done < size) {
    const ssize_t n = readSome(done);
    if (n < 0) {
      if (got) *got = done;
      return 0;
    }
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  if (got) *got = done;
  return 1;
}

}  // namespace

int FioRead(FioHandle file, void* buf, uint32_t size, uint32_t* got) {
  return ReadAll(size, got, [&](uint32_t done) {
    return read(Fd(file), static_cast<char*>(buf) + done, size - done);
  });
}

int FioReadAt(FioHandle file, uint64_t position, void* buf, uint32_t size, uint32_t* got) {
  return ReadAll(size, got, [&](uint32_t done) {
    return pread(Fd(file), static_cast<char*>(buf) + done, size - done,
                 static_cast<off_t>(position + done));
  });
}

int FioWrite(FioHandle file, const void* buf, uint32_t size) {
  uint32_t done = 0;
  while (done < size) {
    ssize_t n = write(Fd(file), static_cast<const char*>(buf) + done, size - done);
    if (n <= 0) return 0;
    done += static_cast<uint32_t>(n);
  }
  return 1;
}

int FioSeek(FioHandle file, uint64_t position) {
  return lseek(Fd(file), static_cast<off_t>(position), SEEK_SET) >= 0;
}

int FioGetSize(FioHandle file, uint64_t* size) {
  struct stat st{};
  if (fstat(Fd(file), &st) != 0) return 0;
  *size = static_cast<uint64_t>(st.st_size);
  return 1;
}

int FioSetSize(FioHandle file, uint64_t size) {
  return ftruncate(Fd(file), static_cast<off_t>(size)) == 0;
}

uint32_t FioMapUnit() {
  static const long page = sysconf(_SC_PAGESIZE);
  return page > 0 ? static_cast<uint32_t>(page) : 0;
}

const uint8_t* FioMapBytes(FioHandle file, uint64_t offset, uint32_t size) {
  void* p = mmap(nullptr, size, PROT_READ, MAP_SHARED, Fd(file), static_cast<off_t>(offset));
  return p == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(p);
}

void FioUnmapBytes(const uint8_t* data, uint32_t size) { munmap(const_cast<uint8_t*>(data), size); }

int FioFileExists(const char* path) {
  struct stat st{};
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int FioDirExists(const char* path) {
  struct stat st{};
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int FioCreateDir(const char* path) {
  std::string p = NativePath(path);
  mkdir(p.c_str(), 0755);
  return FioDirExists(path);
}

int FioDelete(const char* path) {
  return FioFileExists(path) && unlink(NativePath(path).c_str()) == 0;
}

int FioRename(const char* from, const char* to) {
  // Like the system's move-file call: never replaces an existing file.
  if (!FioFileExists(from) || FioFileExists(to) || FioDirExists(to)) return 0;
  return rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

int FioReplace(const char* from, const char* to) {
  if (!FioFileExists(from) || FioDirExists(to)) return 0;
  return rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

int FioFileTimes(const char* path, FileTimeRec* created, FileTimeRec* modified) {
  struct stat st{};
  if (stat(NativePath(path).c_str(), &st) != 0) return 0;
  // POSIX keeps no creation time; the status-change time stands in.
  if (created) *created = ToFileTime(st.st_ctim);
  if (modified) *modified = ToFileTime(st.st_mtim);
  return 1;
}

uint64_t FioDiskFree(const char* dir) {
  struct statvfs vs{};
  if (statvfs(NativePath(dir).c_str(), &vs) != 0) return 0;
  return static_cast<uint64_t>(vs.f_bavail) * vs.f_frsize;
}

int FioEnumDir(const char* dir, const FioEnumFn& fn) {
  std::string base = NativePath(dir);
  DIR* d = opendir(base.c_str());
  if (!d) return 0;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st{};
    int isDir = stat((base + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (!fn(name.c_str(), isDir)) break;
  }
  closedir(d);
  return 1;
}

FileTimeRec FioNow() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return ToFileTime(t);
}
