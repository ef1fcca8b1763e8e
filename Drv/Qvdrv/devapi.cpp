// The device API: open by name (with its redirection, remote names, the
// attach and the boot of a board whose DSPs do not run), I/O control, close.
#include "Drv/Qvdrv/deviceio.h"
#include "Drv/Qvdrv/devname.h"
#include "Drv/Qvdrv/qvdrv_private.h"

#include <cstring>

namespace {

constexpr DWORD DeleteOnClose = FILE_FLAG_DELETE_ON_CLOSE;

// The images of each board id, sent in order; the Mixer I/O board has none
// and cannot be booted here.
struct BootRow {
  DWORD boardId;
  WORD images[2];  // 0 ends
};
constexpr BootRow BootTable[] = {
    {BoardIdTvr, {103, 107}},
    {BoardIdTv2, {104, 108}},
    {BoardIdCbl, {105, 109}},
    {BoardIdDnv, {114, 0}},
};

QVDEVHANDLE Fail(QVDEVHANDLE block, DWORD error) {
  if (block) GlobalFree(block);
  SetLastError(error);
  return static_cast<QVDEVHANDLE>(INVALID_HANDLE_VALUE);
}

// Closes the device and frees the block, keeping the error of the failing step.
QVDEVHANDLE CloseAndFail(QVDEVHANDLE block, DWORD error) {
  block->Close(block->handle);
  return Fail(block, error);
}

// The board's DSPs do not run: send its images by its id. On success the
// handle owns the unit already (its attach went through).
QVDEVHANDLE Boot(QVDEVHANDLE block) {
  DWORD identity[3] = {0, 0, 0};
  DWORD returned = 0;
  if (!qvDevIoControl(block, IOCTL_QV_GET_ID, nullptr, 0, identity, sizeof identity, &returned, nullptr))
    return CloseAndFail(block, GetLastError());
  DWORD boardId = identity[2];
  if (boardId == BoardIdMio) return CloseAndFail(block, ERROR_BUS_RESET);
  for (const BootRow& row : BootTable) {
    if (row.boardId != boardId) continue;
    for (WORD image : row.images) {
      if (!image) break;
      if (!BootFromResource(block, nullptr, MAKEINTRESOURCEA(image))) return CloseAndFail(block, GetLastError());
    }
    SetLastError(0);
    return block;
  }
  return CloseAndFail(block, ERROR_BUS_RESET);
}

}  // namespace

extern "C" QVDEVHANDLE WINAPI qvDevOpen(LPCSTR name, DWORD access, DWORD share, DWORD flags) {
  if (!name) return Fail(nullptr, ERROR_INVALID_PARAMETER);
  if (access == 0) access = GENERIC_READ | GENERIC_WRITE;
  char redirected[256];
  GetPrivateProfileStringA("Redirect", name, name, redirected, sizeof redirected, "Qvdrv.ini");
  qvname::DevicePath path = qvname::PathOfName(redirected);
  if (path.kind == qvname::PathKind::BadRemote) return Fail(nullptr, ERROR_INVALID_PARAMETER);
  if (path.kind == qvname::PathKind::Remote) return qvDevOpenRemote(path.server, path.path, access, share, flags);

  const DeviceIoFunctions& io = DeviceIo();
  auto* block = static_cast<QVDEVHANDLE>(GlobalAlloc(GMEM_FIXED, sizeof(QvDevBlock)));
  if (!block) return static_cast<QVDEVHANDLE>(INVALID_HANDLE_VALUE);
  block->IoControl = io.IoControl;
  block->Close = io.Close;
  flags = QvdrvIsNt() ? flags & ~DeleteOnClose : flags | DeleteOnClose;
  block->handle = io.Open(path.path, access, share, nullptr, OPEN_EXISTING, flags, nullptr);
  if (block->handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return Fail(block, error == ERROR_FILE_NOT_FOUND ? ERROR_BAD_UNIT : error);
  }
  DWORD word = 0, returned = 0;
  if (qvDevIoControl(block, IOCTL_QV_ATTACH, &word, sizeof word, nullptr, 0, &returned, nullptr)) {
    SetLastError(0);
    return block;
  }
  DWORD error = GetLastError();
  if (error == ERROR_BUSY) {  // another handle owns the unit: good for the requests of non-owners
    SetLastError(0);
    return block;
  }
  if (error == ERROR_BUS_RESET) return Boot(block);
  return CloseAndFail(block, error);
}

extern "C" BOOL WINAPI qvDevClose(QVDEVHANDLE h) {
  if (h == INVALID_HANDLE_VALUE || !h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  BOOL ok = h->Close(h->handle);
  if (ok) SetLastError(0);
  DWORD error = GetLastError();
  GlobalFree(h);
  SetLastError(error);
  return ok;
}

extern "C" BOOL WINAPI qvDevIoControl(QVDEVHANDLE h, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen,
                                      LPDWORD bytesReturned, LPOVERLAPPED) {
  if (h == INVALID_HANDLE_VALUE || !h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD scratch;
  // Always synchronous: the caller's OVERLAPPED is not passed on.
  return h->IoControl(h->handle, code, in, inLen, out, outLen, bytesReturned ? bytesReturned : &scratch, nullptr);
}

extern "C" HANDLE WINAPI qvDevLocal(QVDEVHANDLE h) {
  if (h == INVALID_HANDLE_VALUE || !h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return h->Close == DeviceIo().Close ? h->handle : nullptr;
}

BOOL BootFromImage(QVDEVHANDLE device, const BYTE* image, DWORD length) {
  qvframe::ImageFrame f = qvframe::FrameImage(image, length);
  DWORD code = f.kind == qvframe::ImageKind::ProgramFile ? IOCTL_QV_LOAD : IOCTL_QV_BOOT;
  DWORD returned = 0;
  return qvDevIoControl(device, code, const_cast<BYTE*>(image) + f.offset, f.length, nullptr, 0, &returned, nullptr);
}

BOOL BootFromResource(QVDEVHANDLE device, HMODULE module, LPCSTR name) {
  if (!module) module = QvdrvModule();
  HRSRC found = FindResourceA(module, name, reinterpret_cast<LPCSTR>(RT_RCDATA));
  if (!found) return FALSE;
  HGLOBAL loaded = LoadResource(module, found);
  DWORD size = SizeofResource(module, found);
  const void* image = loaded ? LockResource(loaded) : nullptr;
  if (!image || !size) return FALSE;
  return BootFromImage(device, static_cast<const BYTE*>(image), size);
}
