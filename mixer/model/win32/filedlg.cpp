#include "filedlg.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstring>

#include "appwnd.h"
#include "mixer/model/util/paths.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "mixer/shell/wndtable.h"

namespace {

constexpr int kDlgTextMax = 256;

// The filter text with each separator (its last character) made a NUL; the
// buffer ends in two NULs as the dialog needs.
void MakeFilter(char* out, int size, const char* filter) {
  std::memset(out, 0, static_cast<size_t>(size));
  StrCopyN(out, filter ? filter : "", size - 1);
  size_t n = std::strlen(out);
  if (n == 0) return;
  const char separator = out[n - 1];
  for (size_t i = 0; i < n; ++i)
    if (out[i] == separator) out[i] = '\0';
}

// The directory of the path without its trailing '\', unless that follows a
// drive ("C:\" stays whole).
void InitialDir(char* out, int size, const char* path) {
  if (!PathGetDir(path, out, size)) return;
  size_t n = std::strlen(out);
  if (n > 1 && out[n - 1] == '\\' && out[n - 2] != ':') out[n - 1] = '\0';
}

// Windows NT 5 and later know the full OPENFILENAMEA; older systems refuse
// it and take the short form.
DWORD OpenFileNameSize() {
  DWORD version = GetVersion();
  bool nt5 = !(version & 0x80000000u) && LOBYTE(LOWORD(version)) >= 5;
  return nt5 ? sizeof(OPENFILENAMEA) : OPENFILENAME_SIZE_VERSION_400A;
}

}  // namespace

int FileDialog(int mode, DWORD flags, int keepName, char* path, int size, const char* filter,
               const char* defExt, HWND owner) {
  if (!path || size <= 0) return 0;
  char filterBuf[1024];
  MakeFilter(filterBuf, sizeof filterBuf, filter);
  char initialDir[MAX_PATH];
  InitialDir(initialDir, sizeof initialDir, path);
  char saved[MAX_PATH];
  StrCopyN(saved, path, sizeof saved);
  if (!keepName) path[0] = '\0';
  char title[kDlgTextMax];
  StrLoad(IDS_DELETE, title, sizeof title);
  char fileTitle[kDlgTextMax] = "";

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = OpenFileNameSize();
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filterBuf;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = static_cast<DWORD>(size);
  ofn.lpstrFileTitle = fileTitle;
  ofn.nMaxFileTitle = sizeof fileTitle;
  ofn.lpstrInitialDir = initialDir[0] ? initialDir : nullptr;
  ofn.lpstrTitle = mode == kFileDlgDelete ? title : nullptr;
  ofn.lpstrDefExt = defExt && *defExt ? defExt : nullptr;
  ofn.Flags = flags | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;

  ModalScope modal;
  EnableAppWindows(0);
  BOOL chosen = mode == kFileDlgOpen || mode == kFileDlgDelete ? GetOpenFileNameA(&ofn)
                                                               : GetSaveFileNameA(&ofn);
  EnableAppWindows(1);
  if (!chosen && !keepName) StrCopyN(path, saved, size);
  return chosen;
}

int FileDialogById(int mode, DWORD flags, int keepName, char* path, int size, uint32_t filterId,
                   uint32_t defExtId, HWND owner) {
  char filter[kDlgTextMax];
  char defExt[kDlgTextMax];
  StrLoad(filterId, filter, sizeof filter);
  StrLoad(defExtId, defExt, sizeof defExt);
  return FileDialog(mode, flags, keepName, path, size, filter, defExt, owner);
}

static int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) SendMessageA(wnd, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

// Appends '\' when the path does not end in one and there is room.
static void EndWithBackslash(char* path, int size) {
  size_t n = std::strlen(path);
  if (n == 0 || path[n - 1] != '\\') StrCatN(path, "\\", size);
}

int BrowseFolder(char* path, int size, uint32_t titleId) {
  if (!path || size <= 0) return 0;
  char start[MAX_PATH];
  StrCopyN(start, path, sizeof start);
  size_t n = std::strlen(start);
  if (n > 1 && start[n - 1] == '\\' && start[n - 2] != ':') start[n - 1] = '\0';
  char title[kDlgTextMax];
  StrLoad(titleId, title, sizeof title);
  char display[MAX_PATH];

  BROWSEINFOA bi = {};
  bi.hwndOwner = WndTable[kMainWnd];
  bi.pszDisplayName = display;
  bi.lpszTitle = title;
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  bi.lpfn = BrowseCallback;
  bi.lParam = reinterpret_cast<LPARAM>(start);

  ModalScope modal;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&bi);
  char folder[MAX_PATH];
  // The folder must fit with its closing ''; a cut path would name another
  // folder, so the old one stays then.
  int ok = chosen && SHGetPathFromIDListA(chosen, folder) &&
           static_cast<int>(std::strlen(folder)) + 1 < size;
  if (ok) StrCopyN(path, folder, size);
  if (chosen) CoTaskMemFree(chosen);
  EndWithBackslash(path, size);
  return ok;
}
