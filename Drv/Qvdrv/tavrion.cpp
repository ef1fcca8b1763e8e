// CTavrion: boot, DSP memory and information requests on an opened board.
#include "Drv/Qvdrv/devname.h"
#include "Drv/Qvdrv/qvdrv_private.h"

BOOL WINAPI CTavrion::Boot(const BYTE* image, DWORD length) const {
  if (!image || length < qvframe::MinimumImage) {
    SetLastError(ERROR_BAD_FORMAT);
    return FALSE;
  }
  return BootFromImage(m_device, image, length);
}

BOOL WINAPI CTavrion::Boot(LPCSTR path) const {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  BOOL ok = FALSE;
  DWORD error = 0;
  DWORD high = 0;
  DWORD size = GetFileSize(file, &high);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
    error = GetLastError();
  } else if (high) {
    error = ERROR_BAD_FORMAT;  // no image is 4 GB long
  } else if (HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
    if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0)) {
      ok = Boot(static_cast<const BYTE*>(view), size);
      error = GetLastError();
      UnmapViewOfFile(view);
    } else {
      error = GetLastError();
    }
    CloseHandle(mapping);
  } else {
    error = GetLastError();  // an empty file cannot be mapped
  }
  CloseHandle(file);
  SetLastError(error);
  return ok;
}

BOOL WINAPI CTavrion::Boot(LPCSTR name, HINSTANCE module) const {
  HRSRC found = FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_RCDATA), name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
  if (!found) return FALSE;
  HGLOBAL loaded = LoadResource(module, found);
  const void* image = loaded ? LockResource(loaded) : nullptr;
  if (!image) return FALSE;
  return Boot(static_cast<const BYTE*>(image), SizeofResource(module, found));
}

BOOL WINAPI CTavrion::Dump(CDspMemory* m) const {
  qvframe::MemoryRequest r = qvframe::DumpRequest(m->control);
  m->control = r.control;
  DWORD returned = 0;
  return qvDevIoControl(m_device, IOCTL_QV_DSP_MEMORY, m, r.inBytes, m->data, r.outBytes, &returned, nullptr);
}

BOOL WINAPI CTavrion::Load(CDspMemory* m) const {
  qvframe::MemoryRequest r = qvframe::LoadRequest(m->control);
  m->control = r.control;
  DWORD returned = 0;
  return qvDevIoControl(m_device, IOCTL_QV_DSP_MEMORY, m, r.inBytes, nullptr, 0, &returned, nullptr);
}

BOOL WINAPI CTavrion::Info(void* out, DWORD outLen, DWORD* returned) const {
  return qvDevIoControl(m_device, IOCTL_QV_GET_INFO, nullptr, 0, out, outLen, returned, nullptr);
}
