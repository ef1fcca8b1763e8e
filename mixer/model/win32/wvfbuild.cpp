#include "wvfbuild.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "dialogs.h"
#include "mixer/model/host.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/wvf.h"
#include "mixer/model/wvfcache.h"
#include "mixer/shell/services.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

// Window messages handed on between two chunks, so that the interface stays
// responsive while a long Take is read.
constexpr int kMessagesPerChunk = 20;

// The cancel flag lives in the dialog's DWLP_USER word: set by Cancel and by
// WM_DESTROY, read by the build loop between chunks.
void SetCancel(HWND dlg, LONG_PTR value) { SetWindowLongPtrA(dlg, DWLP_USER, value); }

bool Cancelled(HWND dlg) { return !IsWindow(dlg) || GetWindowLongPtrA(dlg, DWLP_USER) != 0; }

// The progress bar counts samples, 0 .. 512 x n; a range beyond 31 bits is
// halved until it fits, positions with it.
struct Progress {
  HWND dlg;
  int shift = 0;
  void SetRange(uint64_t high) {
    while ((high >> shift) > 0x7fffffff) ++shift;
    SendDlgItemMessageA(dlg, kWvfBuildProgressItem, PBM_SETRANGE32, 0,
                        static_cast<LPARAM>(high >> shift));
  }
  void SetPos(uint64_t pos) {
    SendDlgItemMessageA(dlg, kWvfBuildProgressItem, PBM_SETPOS,
                        static_cast<WPARAM>(pos >> shift), 0);
  }
};

bool WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

bool SetSize(HANDLE file, uint64_t size) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(size);
  LARGE_INTEGER start{};
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) && SetEndOfFile(file) &&
         SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
}

// Fetches the entries chunk by chunk and writes them after the header.
// Returns 1 when every entry was written, 0 after a failure (its message
// shown) or a cancel.
int TransferEntries(HWND dlg, TakeRec* take, HANDLE file, uint32_t entries, WvfEntry* buf,
                    Progress& progress) {
  uint32_t done = 0;
  while (done < entries) {
    // Messages handed on between chunks may have run a command that closed
    // the Take; its record may then already serve another Take.
    if (Cancelled(dlg) || !TakeIsOpen(take)) return 0;
    uint32_t k = std::min<uint32_t>(entries - done, kWvfChunkEntries);
    uint64_t position = uint64_t(done) * kWvfSamplesPerEntry;
    // A failed fetch must not leave an overview of made-up peaks.
    if (!NatDevGetEnvelopes(k, kWvfSamplesPerEntry, take, static_cast<uint32_t>(position),
                            reinterpret_cast<int16_t*>(buf))) {
      MessageBoxById(dlg, IDS_WVF_TRANSFER_ERROR, MB_ICONEXCLAMATION);
      return 0;
    }
    // Encoded in place: each entry is read whole before its bytes are written.
    WvfEncodeEntries(buf, k, reinterpret_cast<uint8_t*>(buf));
    if (!WriteAll(file, buf, k * kWvfEntryBytes)) {
      MessageBoxById(dlg, IDS_WVF_TRANSFER_ERROR, MB_ICONEXCLAMATION);
      return 0;
    }
    done += k;
    progress.SetPos(uint64_t(done) * kWvfSamplesPerEntry);
    PumpWaitingMessages(kMessagesPerChunk);
  }
  return Cancelled(dlg) ? 0 : 1;
}

// Header, size and buffer around the transfer; the file is open and empty.
int FillFile(HWND dlg, TakeRec* take, HANDLE file) {
  const char* name = reinterpret_cast<const char*>(TakeGetAttr(take, kTakeAttrName));
  SetDlgItemTextA(dlg, kWvfBuildNameItem, name ? name : "");
  uint32_t entries = WvfEntryCount(static_cast<uint32_t>(TakeGetAttr(take, kTakeAttrLength)));
  Progress progress{dlg};
  progress.SetRange(uint64_t(entries) * kWvfSamplesPerEntry);

  if (!SetSize(file, WvfFileSize(entries))) {
    MessageBoxById(dlg, IDS_NO_PC_DISK_SPACE, MB_ICONEXCLAMATION);
    return 0;
  }
  uint8_t header[kWvfHeaderSize];
  WvfEncodeHeader(take->id.Bytes, entries, header);
  if (!WriteAll(file, header, sizeof header)) {
    MessageBoxById(dlg, IDS_WVF_TRANSFER_ERROR, MB_ICONEXCLAMATION);
    return 0;
  }
  uint32_t bufEntries = std::max<uint32_t>(1, std::min<uint32_t>(entries, kWvfChunkEntries));
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bufEntries * kWvfEntryBytes);
  WvfEntry* buf = mem ? static_cast<WvfEntry*>(GlobalLock(mem)) : nullptr;
  if (!buf) {
    if (mem) GlobalFree(mem);
    MessageBoxById(dlg, IDS_GLOBAL_ALLOC_FAILED, MB_ICONEXCLAMATION);
    return 0;
  }
  int ok = TransferEntries(dlg, take, file, entries, buf, progress);
  GlobalUnlock(mem);
  GlobalFree(mem);
  return ok;
}

// Builds the Take's overview file; 1 when it was written whole, else 0 with
// no file left behind.
int BuildWvf(HWND dlg, TakeRec* take) {
  char path[kTakePathSize] = {};
  const char* dir = GetWvFormFilePath();
  size_t dirLen = dir ? strnlen(dir, sizeof path) : 0;
  HANDLE file = INVALID_HANDLE_VALUE;
  if (take && dirLen < sizeof path) {
    std::memcpy(path, dir, dirLen);
    if (WvfCacheName(take, path, sizeof path))
      file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    MessageBoxById(dlg, IDS_WVF_OPEN_FAILED, MB_ICONEXCLAMATION);
    return 0;
  }
  int ok = FillFile(dlg, take, file);
  CloseHandle(file);
  if (!ok) DeleteFileA(path);
  return ok;
}

}  // namespace

INT_PTR CALLBACK WvfBuildDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      CenterOverWindow(WndTable[kMainWnd], dlg);
      SetCancel(dlg, 0);
      PostMessageA(dlg, kWvfBuildStartMsg, 0, lParam);
      return TRUE;
    case kWvfBuildStartMsg: {
      int ok = BuildWvf(dlg, reinterpret_cast<TakeRec*>(lParam));
      if (IsWindow(dlg)) EndDialog(dlg, ok);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) SetCancel(dlg, 1);
      return TRUE;
    case WM_DESTROY:
      SetCancel(dlg, 1);
      return FALSE;
  }
  return FALSE;
}
