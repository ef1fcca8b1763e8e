#include "files.h"

#include <cstring>

#include "appwnd.h"
#include "mixer/model/host.h"
#include "mixer/model/util/paths.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"

int FileExists(const char* path) {
  DWORD attr = GetFileAttributesA(path);
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

// Drops one trailing '\' unless it ends a drive root ("C:\").
static void StripTrailingBackslash(char* path) {
  size_t n = std::strlen(path);
  if (n > 1 && path[n - 1] == '\\' && path[n - 2] != ':') path[n - 1] = '\0';
}

int DirExists(const char* path) {
  char dir[MAX_PATH];
  if (!StrCopyN(dir, path, sizeof dir)) return 0;
  StripTrailingBackslash(dir);
  DWORD attr = GetFileAttributesA(dir);
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

// Where the first directory that may need creating starts: after a drive
// ("C:\"), after the share of a network path ("\\server\share\"), or after
// the leading '\' of a rooted path.
static size_t FirstCreatable(const char* path) {
  if (path[0] == '\\' && path[1] == '\\') {
    const char* server = std::strchr(path + 2, '\\');
    const char* share = server ? std::strchr(server + 1, '\\') : nullptr;
    return share ? static_cast<size_t>(share - path) + 1 : std::strlen(path);
  }
  if (path[0] && path[1] == ':') return path[2] == '\\' ? 3 : 2;
  return path[0] == '\\' ? 1 : 0;
}

int CreateDirTree(const char* path) {
  char dir[MAX_PATH];
  if (!StrCopyN(dir, path, sizeof dir)) return 0;
  for (size_t i = FirstCreatable(dir); dir[i]; ++i) {
    if (dir[i] != '\\') continue;
    dir[i] = '\0';
    if (!DirExists(dir) && !CreateDirectoryA(dir, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return 0;
    dir[i] = '\\';
  }
  return 1;
}

// Changes the current directory for its lifetime and restores it.
class CurrentDirScope {
 public:
  CurrentDirScope() {
    DWORD n = GetCurrentDirectoryA(sizeof dir_, dir_);
    saved_ = n > 0 && n < sizeof dir_;
  }
  ~CurrentDirScope() {
    if (saved_) SetCurrentDirectoryA(dir_);
  }
  bool saved() const { return saved_; }
  CurrentDirScope(const CurrentDirScope&) = delete;
  CurrentDirScope& operator=(const CurrentDirScope&) = delete;

 private:
  char dir_[MAX_PATH];
  bool saved_;
};

int PathMakeAbsolute(char* path, int size, const char* base) {
  if (!path || size <= 0) return 0;
  CurrentDirScope restore;
  if (!restore.saved()) return 0;
  if (base && *base && !SetCurrentDirectoryA(base)) return 0;
  const char* name = PathFindName(path);
  char dir[MAX_PATH];
  if (!StrCopyCount(dir, path, static_cast<int>(name - path), sizeof dir)) return 0;
  if (*dir && !SetCurrentDirectoryA(dir)) return 0;
  char full[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof full, full);
  if (n == 0 || n >= sizeof full) return 0;
  if (full[n - 1] != '\\' && !StrCatN(full, "\\", sizeof full)) return 0;
  if (!StrCatN(full, name, sizeof full)) return 0;
  if (static_cast<int>(std::strlen(full)) >= size) return 0;
  StrCopyN(path, full, size);
  return 1;
}

static int PathIsFile(const char* path) { return FileExists(path); }

int MakeUniquePath(char* path, int size, int keepSuffix) {
  return MakeUniquePathWith(path, size, keepSuffix, PathIsFile);
}

namespace {

constexpr size_t kMaxWalkPath = MAX_PATH - 1;

struct Walk {
  WalkDirFn fn;
  void* user;
};

// dir + '\' + name into out, 0 when it would be longer than a path may be.
bool JoinPath(char* out, const char* dir, const char* name) {
  size_t d = std::strlen(dir);
  bool slash = d && dir[d - 1] != '\\';
  if (d + slash + std::strlen(name) > kMaxWalkPath) return false;
  std::memcpy(out, dir, d);
  if (slash) out[d++] = '\\';
  std::strcpy(out + d, name);
  return true;
}

void PumpOneMessage() {
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool IsDotName(const char* name) { return name[0] == '.'; }

int WalkDir(Walk& walk, const char* dir);

// One entry of a directory: 1 to go on, 0 to stop the whole walk.
int WalkEntry(Walk& walk, const char* dir, WIN32_FIND_DATAA& entry) {
  bool isDir = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  if (isDir && IsDotName(entry.cFileName)) return 1;
  if (!isDir) StrLowerTail(entry.cFileName);
  char path[MAX_PATH];
  if (!JoinPath(path, dir, entry.cFileName)) {
    MessageBoxById(nullptr, IDS_MAX_PATH_EXCEEDED, kMbWarnOk);
    return 0;
  }
  if (isDir) return WalkDir(walk, path);
  return walk.fn(path, walk.user) ? 1 : 0;
}

int WalkDir(Walk& walk, const char* dir) {
  char pattern[MAX_PATH];
  if (!JoinPath(pattern, dir, "*.*")) {
    MessageBoxById(nullptr, IDS_MAX_PATH_EXCEEDED, kMbWarnOk);
    return 0;
  }
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA(pattern, &entry);
  if (find == INVALID_HANDLE_VALUE) return 1;
  int goOn = 1;
  do {
    goOn = WalkEntry(walk, dir, entry);
    PumpOneMessage();
  } while (goOn && FindNextFileA(find, &entry));
  FindClose(find);
  return goOn;
}

}  // namespace

int WalkDirTree(const char* dir, WalkDirFn fn, void* user) {
  if (!dir || !fn) return 0;
  // The walk pumps messages: the modal count and the disabled windows keep
  // the user and the timer from starting anything else meanwhile.
  ModalScope modal;
  EnableAppWindows(0);
  HCURSOR oldCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  Walk walk{fn, user};
  int result = WalkDir(walk, dir);
  SetCursor(oldCursor);
  EnableAppWindows(1);
  return result;
}
