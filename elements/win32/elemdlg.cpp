#include "elements/win32/elemwin.h"

#include <commdlg.h>

#include <cstdarg>
#include <cstring>

#include "mixer/model/util/format.h"
#include "mixer/model/util/paths.h"

namespace {

// Flags every file dialog of a module carries: explorer style, the path
// must exist, the current directory is kept, no read-only box.
constexpr DWORD kFileDlgFlags = 0x8080C;
constexpr int kFilterSize = 512;
constexpr int kExtSize = 32;

// The module's own string, at most 255 characters; 0 when missing.
int LoadModuleString(uint32_t id, char* buf, int size) {
  buf[0] = '\0';
  return LoadStringA(ElemModule().Instance, id, buf, size);
}

// Every occurrence of the filter's last character becomes a NUL; the
// buffer ends in two NULs as the dialog needs.
void SplitFilter(char* filter, int size) {
  const size_t n = std::strlen(filter);
  if (n == 0 || n + 2 > static_cast<size_t>(size)) return;
  const char separator = filter[n - 1];
  for (size_t i = 0; i < n; ++i)
    if (filter[i] == separator) filter[i] = '\0';
  filter[n + 1] = '\0';
}

// NT 5 and later take the full structure; older systems only the short one.
DWORD OpenFileNameSize() {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  const bool nt5 = GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion >= 5;
  return nt5 ? sizeof(OPENFILENAMEA) : OPENFILENAME_SIZE_VERSION_400A;
}

}  // namespace

INT_PTR CALLBACK ElemInputDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      ElemCenterWindow(dlg);
      SetWindowTextA(dlg, reinterpret_cast<const char*>(lParam));
      SetDlgItemTextA(dlg, kElemInputEdit, ElemModule().ValueText);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          GetDlgItemTextA(dlg, kElemInputEdit, ElemModule().ValueText, kElemValueTextSize);
          EndDialog(dlg, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR ElemDialogBoxParam(DLGPROC proc, const char* templateName, HWND parent, LPARAM initParam) {
  return DialogBoxParamA(ElemModule().Instance, templateName, parent, proc, initParam);
}

int ElemMessageBox(HWND parent, uint32_t textId, UINT type, ...) {
  char format[kMsgFormatMax + 1];
  LoadModuleString(textId, format, sizeof format);
  char text[kMsgTextMax];
  va_list args;
  va_start(args, type);
  FormatTextV(text, sizeof text, format, args);
  va_end(args);
  char caption[256] = "";
  if (parent) GetWindowTextA(parent, caption, sizeof caption);
  MessageBeep(type);
  return MessageBoxA(parent, text, caption[0] ? caption : nullptr, type);
}

int FileDialog(int open, DWORD flags, int keepName, char* path, int max, uint32_t filterId, uint32_t extId,
               HWND owner) {
  if (!path || max <= 0) return 0;
  char filter[kFilterSize];
  char ext[kExtSize];
  if (!LoadModuleString(filterId, filter, sizeof filter - 1) || !LoadModuleString(extId, ext, sizeof ext)) return 0;
  SplitFilter(filter, sizeof filter);
  char folder[MAX_PATH] = "";
  PathGetDir(path, folder, sizeof folder);
  char file[MAX_PATH] = "";
  if (keepName) ElemCopyString(file, sizeof file, PathFindName(path));

  OPENFILENAMEA ofn{};
  ofn.lStructSize = OpenFileNameSize();
  ofn.hwndOwner = owner;
  ofn.hInstance = ElemModule().Instance;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrInitialDir = folder[0] ? folder : nullptr;
  ofn.lpstrDefExt = ext;
  ofn.Flags = flags | kFileDlgFlags;
  const BOOL chosen = open ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
  if (!chosen) return 0;
  return ElemCopyString(path, max, file);
}

void ElemCenterWindow(HWND wnd) {
  RECT r;
  if (!GetWindowRect(wnd, &r)) return;
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  SetWindowPos(wnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ElemWindowOnScreen(HWND wnd) {
  RECT r;
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT common;
  return GetWindowRect(wnd, &r) && IntersectRect(&common, &r, &screen) ? 1 : 0;
}

void ElemDestroyChildWindows(HWND wnd) {
  // Destroying a child changes the list, so always take the first one left.
  for (HWND child = GetWindow(wnd, GW_CHILD); child; child = GetWindow(wnd, GW_CHILD))
    if (!DestroyWindow(child)) break;
}
