#include <cstring>

#include "elements/win32/elemwin.h"
#include "mixer/model/util/strutil.h"

namespace {

class WinElemFiles : public ElemFiles {
 public:
  int FileExists(const char* path) override {
    const DWORD a = path && *path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }

  int FolderExists(const char* path) override {
    char p[MAX_PATH];
    if (!path || !*path || !ElemCopyString(p, sizeof p, path)) return 0;
    // A trailing '\' is allowed, except the one of a drive root.
    const size_t n = std::strlen(p);
    if (n > 1 && p[n - 1] == '\\' && p[n - 2] != ':') p[n - 1] = '\0';
    const DWORD a = GetFileAttributesA(p);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }

  // Resolved by the system from the folder as current directory, which is
  // restored afterwards.
  int MakeAbsolute(char* path, int size, const char* folder) override {
    if (!path || size <= 0) return 0;
    char saved[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(sizeof saved, saved);
    if (n == 0 || n >= sizeof saved) return 0;
    if (folder && *folder && !SetCurrentDirectoryA(folder)) return 0;
    char full[MAX_PATH];
    const DWORD len = GetFullPathNameA(path, sizeof full, full, nullptr);
    SetCurrentDirectoryA(saved);
    if (len == 0 || len >= sizeof full) return 0;
    return ElemCopyString(path, size, full);
  }
};

}  // namespace

ElemFiles& ElemFilesWin() {
  static WinElemFiles files;
  return files;
}

int ElemCreateFolderPath(const char* path) {
  char p[MAX_PATH];
  if (!path || !ElemCopyString(p, sizeof p, path)) return 0;
  // Each '\' after the first closes one folder name; folders made here are
  // removed again, deepest first, when a later one fails.
  char* made[MAX_PATH / 2];
  int madeCount = 0;
  char* first = std::strchr(p, '\\');
  for (char* c = first ? std::strchr(first + 1, '\\') : nullptr; c; c = std::strchr(c + 1, '\\')) {
    *c = '\0';
    if (!ElemFilesWin().FolderExists(p)) {
      if (!CreateDirectoryA(p, nullptr)) {
        *c = '\\';
        while (madeCount > 0) {
          char* end = made[--madeCount];
          *end = '\0';
          RemoveDirectoryA(p);
          *end = '\\';
        }
        return 0;
      }
      made[madeCount++] = c;
    }
    *c = '\\';
  }
  return 1;
}
