// The board device object and the device enumerator.
#include "Drv/Qvcom/qvdevice.h"

#include "Drv/Qvdrv/deviceio.h"
#include "Drv/Qvdrv/qvdrv_private.h"
#include "Inc/base.h"

#include <setupapi.h>

#include <cwchar>

const CLSID CLSID_QvDevice = {0x5AC6EF01, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvMixerDevice = {0x5AC6EFF0, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvDeviceEnum = {0x5AC6EFB0, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvWave = {0x5AC6EF04, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvTvrPage = {0xD4AB2345, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const IID IID_IQVDevice = {0x5AC6EF02, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const IID IID_IQVDeviceEnum = {0x5AC6EFB1, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const IID IID_IQVWave = {0x5AC6EF05, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};

namespace {
const IID IID_PersistPropertyBag = {0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
constexpr DWORD Win9xFlag = 0x04000000;
constexpr DWORD NotBooted = 1111;  // the board's DSPs do not run yet

HRESULT HrOf(DWORD error) { return error < 0x10000 && error ? static_cast<HRESULT>(0x80070000 | error) : error; }
}  // namespace

const ComInterfaceEntry CQvDevice::Interfaces[] = {
    {&IID_IQVDevice, ComOffset<CQvDevice, IQVDevice>()},
    {&IID_PersistPropertyBag, ComOffset<CQvDevice, IPersistPropertyBag>()},
    {nullptr, 0},
};

void QvDevicePath(LPCWSTR name, WCHAR* path) {
  static const WCHAR pnp[] = L"@device:pnp:";
  if (_wcsnicmp(name, pnp, 12) == 0) {
    lstrcpynW(path, name + 12, MAX_PATH);
  } else if (name[0] == L'\\' && name[1] == L'\\') {
    lstrcpynW(path, name, MAX_PATH);
  } else {
    lstrcpyW(path, name[0] == L'\\' ? L"\\\\." : L"\\\\.\\");
    int n = lstrlenW(path);
    lstrcpynW(path + n, name, MAX_PATH - n);
  }
}

CQvDevice::CQvDevice(IUnknown* outer, const CLSID& clsid, const ComInterfaceEntry* interfaces)
    : CCom(outer, 4000, interfaces), m_clsid(clsid) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // The low bit keeps completions of the object's own requests off any
  // completion port.
  m_overlapped.hEvent = event ? reinterpret_cast<HANDLE>(reinterpret_cast<UINT_PTR>(event) | 1) : nullptr;
}

CQvDevice::~CQvDevice() {
  if (m_handle != INVALID_HANDLE_VALUE) DeviceIo().Close(m_handle);
  m_handle = INVALID_HANDLE_VALUE;
  MemFree(m_path);
  if (m_overlapped.hEvent)
    CloseHandle(reinterpret_cast<HANDLE>(reinterpret_cast<UINT_PTR>(m_overlapped.hEvent) & ~UINT_PTR{1}));
}

HRESULT CQvDevice::OpenLocked(LPCWSTR name, DWORD access, DWORD share, DWORD flags) {
  WCHAR path[MAX_PATH];
  QvDevicePath(name, path);
  // An aggregated unit belongs to the board it was made for: the path it was
  // opened with, compared as a path.
  if (m_inner && m_path && lstrcmpiW(path, m_path) != 0) {
    SetLastError(ERROR_OPEN_FAILED);
    return HrOf(ERROR_OPEN_FAILED);
  }
  flags = QvdrvIsNt() ? flags & ~Win9xFlag : flags | Win9xFlag;
  if (m_handle != INVALID_HANDLE_VALUE) {
    DeviceIo().Close(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
  }
  char ansi[MAX_PATH * 2];
  WideCharToMultiByte(CP_ACP, 0, path, -1, ansi, sizeof ansi, nullptr, nullptr);
  HANDLE h = DeviceIo().Open(ansi, access ? access : GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                             flags | FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND) e = ERROR_BAD_UNIT;
    if (e == ERROR_SEM_TIMEOUT) e = ERROR_TIMEOUT;
    SetLastError(e);
    return HrOf(e);
  }
  size_t bytes = (lstrlenW(path) + 1) * sizeof(WCHAR);
  LPWSTR copy = static_cast<LPWSTR>(MemAlloc(bytes));
  if (!copy) {
    DeviceIo().Close(h);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return E_OUTOFMEMORY;
  }
  memcpy(copy, path, bytes);
  MemFree(m_path);
  m_path = copy;
  m_handle = h;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvDevice::Open(LPCWSTR name, DWORD access, DWORD share, DWORD flags) {
  if (!name) return E_POINTER;
  Lock();
  HRESULT hr = OpenLocked(name, access, share, flags);
  if (SUCCEEDED(hr) && !m_inner && IsEqualCLSID(m_clsid, CLSID_QvMixerDevice)) {
    hr = CreateMixDevUnit(this);
    if (FAILED(hr)) Close();
  }
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvDevice::OpenInterface(const GUID* interfaceClass, LPCWSTR enumerator) {
  if (!interfaceClass) return E_POINTER;
  BSTR path = DeviceInterfacePath(interfaceClass, enumerator, 0, nullptr, nullptr);
  if (!path) return HResultFromLastError();
  WCHAR name[MAX_PATH + 16] = L"@device:pnp:";
  lstrcpynW(name + 12, path, MAX_PATH);
  SysFreeString(path);
  return Open(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
}

BSTR FindDeviceInterface(const GUID* interfaceClass, HDEVINFO set, SP_DEVINFO_DATA* data) {
  WCHAR instance[MAX_PATH] = L"";
  LPCWSTR id = nullptr;
  if (set && set != INVALID_HANDLE_VALUE && data) {
    if (!SetupDiGetDeviceInstanceIdW(set, data, instance, MAX_PATH, nullptr)) return nullptr;
    id = instance;
  }
  DWORD flags = 0;
  BSTR path = DeviceInterfacePath(interfaceClass, id, 0, nullptr, &flags);
  if (path && !(flags & DeviceInterfaceActive)) {
    SysFreeString(path);
    return nullptr;
  }
  return path;
}

HRESULT STDMETHODCALLTYPE CQvDevice::Check(LPCWSTR name) {
  if (!name) return E_POINTER;
  Lock();
  HRESULT hr = OpenLocked(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  if (SUCCEEDED(hr)) {
    hr = Attach(nullptr);
    if (SUCCEEDED(hr))
      hr = Detach();
    else if (hr == HrOf(ERROR_BUSY))
      hr = S_OK;  // another owner holds it: the board is there and booted
  }
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvDevice::Close() {
  Lock();
  if (m_handle != INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    DeviceIo().Close(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    SetLastError(e);
  }
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvDevice::IsClosed() {
  Lock();
  HRESULT hr = m_handle == INVALID_HANDLE_VALUE ? S_FALSE : S_OK;
  Unlock();
  return hr;
}

BOOL CQvDevice::Request(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned,
                        OVERLAPPED* ov) {
  DWORD local = 0;
  if (!returned) returned = &local;
  if (!ov) ov = &m_overlapped;
  HANDLE event = reinterpret_cast<HANDLE>(reinterpret_cast<UINT_PTR>(ov->hEvent) & ~UINT_PTR{1});
  if (event) ResetEvent(event);
  BOOL ok = DeviceIo().IoControl(m_handle, code, const_cast<void*>(in), inLength, out, outLength, returned, ov);
  if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(m_handle, ov, returned, TRUE);
  if (!ok && GetLastError() == ERROR_SEM_TIMEOUT) SetLastError(ERROR_TIMEOUT);
  return ok;
}

BOOL CQvDevice::Boot(const BYTE* image, DWORD length) {
  if (length < 5) {
    SetLastError(ERROR_BAD_FORMAT);
    return FALSE;
  }
  if (image[0] == 0x10 && image[1] == 0xF3 && image[2] == 0x29)
    return Request(IOCTL_QV_LOAD, image + 3, length - 5, nullptr, 0, nullptr, nullptr);
  return Request(IOCTL_QV_BOOT, image, length, nullptr, 0, nullptr, nullptr);
}

BOOL CQvDevice::BootResource(WORD id, HMODULE module) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_RCDATA));
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const BYTE* image = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  if (!image) {
    if (GetLastError() == 0) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return FALSE;
  }
  return Boot(image, SizeofResource(module, found));
}

HRESULT STDMETHODCALLTYPE CQvDevice::Attach(uint32_t* idOut) {
  uint32_t local[3];
  uint32_t* id = idOut ? idOut : local;
  memset(id, 0, 12);
  Lock();
  HRESULT hr = S_OK;
  if (!Request(IOCTL_QV_ATTACH, nullptr, 0, id, 12, nullptr, nullptr)) {
    DWORD e = GetLastError();
    if (e != NotBooted) {
      hr = HrOf(e);
    } else {
      // A failed request brings no output from the driver: the board id then
      // comes from the identity request.
      if (id[2] == 0) Request(IOCTL_QV_GET_ID, nullptr, 0, id, 12, nullptr, nullptr);
      HMODULE images = LoadLibraryExA("Qvimg.bin", nullptr, LOAD_LIBRARY_AS_DATAFILE);
      HMODULE from = images ? images : QvdrvModule();
      BOOL ok = FALSE;
      switch (id[2]) {
        case BoardIdTvr: ok = BootResource(103, from) && BootResource(107, from); break;
        case BoardIdTv2: ok = BootResource(104, from) && BootResource(108, from); break;
        case BoardIdDnv: ok = BootResource(114, from); break;
        case BoardIdCbl: ok = BootCblImages(this, from); break;
        default: SetLastError(NotBooted); break;
      }
      if (!ok) {
        hr = HResultFromLastError();
        Request(IOCTL_QV_BOOT, nullptr, 0, nullptr, 0, nullptr, nullptr);
      }
      if (images) FreeLibrary(images);
    }
  }
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvDevice::Detach() {
  Lock();
  HRESULT hr = Request(IOCTL_QV_DETACH, nullptr, 0, nullptr, 0, nullptr, nullptr) ? S_OK : HResultFromLastError();
  Unlock();
  return hr;
}

// A bare VT_ARRAY (no element type) is not one the platform's VariantClear
// frees: its array is destroyed here.
void ClearPropertyVariant(VARIANT* value) {
  if (value->vt == VT_ARRAY) {
    if (value->parray) SafeArrayDestroy(value->parray);
    value->parray = nullptr;
    value->vt = VT_EMPTY;
    return;
  }
  VariantClear(value);
}

HRESULT VariantFromRegistry(DWORD type, const BYTE* data, DWORD size, VARIANT* value) {
  ClearPropertyVariant(value);
  switch (type) {
    case REG_NONE: return S_OK;
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
      value->bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(data), size);
      if (!value->bstrVal) return E_OUTOFMEMORY;
      value->vt = VT_BSTR;
      return S_OK;
    case REG_BINARY: {
      SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, size);
      if (!array) return E_OUTOFMEMORY;
      if (size) memcpy(array->pvData, data, size);
      value->parray = array;
      value->vt = VT_ARRAY;
      return S_OK;
    }
    case REG_DWORD:
      if (size < 4) return E_FAIL;
      value->vt = VT_I4;
      memcpy(&value->lVal, data, 4);
      return S_OK;
    default: return E_FAIL;
  }
}

HRESULT RegistryFromVariant(const VARIANT* value, DWORD* type, const BYTE** data, DWORD* size) {
  switch (value->vt) {
    case VT_BSTR:
    case VT_LPWSTR: {
      LPCWSTR text = value->vt == VT_BSTR ? value->bstrVal : reinterpret_cast<LPCWSTR>(value->byref);
      *type = REG_SZ;
      *data = reinterpret_cast<const BYTE*>(text);
      *size = text ? 2 * static_cast<DWORD>(lstrlenW(text)) : 0;  // no terminator
      return S_OK;
    }
    case VT_I4:
    case VT_BOOL:
    case VT_INT:
    case VT_UINT:
      *type = REG_DWORD;
      *data = reinterpret_cast<const BYTE*>(&value->lVal);
      *size = 4;
      return S_OK;
    case VT_ARRAY: {
      SAFEARRAY* a = value->parray;
      if (!a || a->cDims < 1) return E_FAIL;
      *type = REG_BINARY;
      *data = static_cast<const BYTE*>(a->pvData);
      *size = a->rgsabound[0].cElements * a->cbElements;
      return S_OK;
    }
    default: return E_FAIL;
  }
}

namespace {

HRESULT KeyValueName(DWORD_PTR id, LPCWSTR* name) {
  if (id == SPDRP_FRIENDLYNAME) *name = L"FriendlyName";
  else if (id > 0xFFFF) *name = reinterpret_cast<LPCWSTR>(id);
  else *name = nullptr;
  return S_OK;
}

}  // namespace

HRESULT STDMETHODCALLTYPE CQvDevice::GetProperty(DWORD_PTR id, VARIANT* value) {
  if (!value) {
    AssertFailed("pValue", "Drv/Qvcom", __LINE__);
    return E_POINTER;
  }
  if (!m_path) return E_FAIL;
  LPCWSTR name = nullptr;
  KeyValueName(id, &name);
  const DeviceIoFunctions& io = DeviceIo();
  auto read = [&](DWORD* type, BYTE* data, DWORD* size) {
    return name ? io.InterfaceValue(m_path, name, FALSE, type, data, size)
                : io.DeviceProperty(m_path, static_cast<DWORD>(id), FALSE, type, data, size);
  };
  DWORD type = REG_NONE, size = 0;
  LONG rc = read(&type, nullptr, &size);
  if (rc == ERROR_INSUFFICIENT_BUFFER || rc == ERROR_MORE_DATA) rc = ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  BYTE* data = static_cast<BYTE*>(MemAlloc(size + 2));
  if (!data) return E_OUTOFMEMORY;
  rc = read(&type, data, &size);
  HRESULT hr = HRESULT_FROM_WIN32(rc);
  if (SUCCEEDED(hr)) hr = VariantFromRegistry(type, data, size, value);
  if (FAILED(hr)) ClearPropertyVariant(value);
  MemFree(data);
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvDevice::SetProperty(DWORD_PTR id, const VARIANT* value) {
  if (!value) {
    AssertFailed("pValue", "Drv/Qvcom", __LINE__);
    return E_POINTER;
  }
  if (!m_path) return E_FAIL;
  DWORD type = 0, size = 0;
  const BYTE* data = nullptr;
  HRESULT hr = RegistryFromVariant(value, &type, &data, &size);
  if (FAILED(hr)) return hr;
  LPCWSTR name = nullptr;
  KeyValueName(id, &name);
  LONG rc =
      name ? DeviceIo().InterfaceValue(m_path, name, TRUE, &type, const_cast<BYTE*>(data), &size)
           : DeviceIo().DeviceProperty(m_path, static_cast<DWORD>(id), TRUE, &type, const_cast<BYTE*>(data), &size);
  return HRESULT_FROM_WIN32(rc);
}

HRESULT STDMETHODCALLTYPE CQvDevice::GetStatus(void* out, DWORD* inOutLength) {
  if (!out || !inOutLength) return E_POINTER;
  Lock();
  DWORD returned = 0;
  HRESULT hr = Request(IOCTL_QV_GET_STATUS, nullptr, 0, out, *inOutLength, &returned, nullptr)
                   ? S_OK
                   : HResultFromLastError();
  *inOutLength = returned;
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvDevice::IoControl(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength,
                                               DWORD* returned, OVERLAPPED* overlapped) {
  if (overlapped) {
    return DeviceIo().IoControl(m_handle, code, in, inLength, out, outLength, returned, overlapped)
               ? S_OK
               : HResultFromLastError();
  }
  Lock();
  HRESULT hr = Request(code, in, inLength, out, outLength, returned, nullptr) ? S_OK : HResultFromLastError();
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvDevice::GetClassID(CLSID* clsid) {
  if (!clsid) {
    AssertFailed("pClsid", "Drv/Qvcom", __LINE__);
    return E_POINTER;
  }
  *clsid = m_clsid;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvDevice::InitNew() { return S_OK; }
HRESULT STDMETHODCALLTYPE CQvDevice::Save(IPropertyBag*, BOOL, BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE CQvDevice::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  Lock();
  if (m_handle != INVALID_HANDLE_VALUE) {
    Unlock();
    return E_FAIL;
  }
  IMoniker* moniker = nullptr;
  HRESULT hr = bag->QueryInterface(IID_IMoniker, reinterpret_cast<void**>(&moniker));
  VARIANT v;
  VariantInit(&v);
  LPOLESTR name = nullptr;
  if (SUCCEEDED(hr)) hr = bag->Read(L"CLSID", &v, log);
  if (SUCCEEDED(hr)) hr = v.vt == VT_BSTR ? CLSIDFromString(v.bstrVal, &m_clsid) : E_FAIL;
  if (SUCCEEDED(hr)) hr = moniker->GetDisplayName(nullptr, nullptr, &name);
  if (SUCCEEDED(hr)) hr = Open(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  if (SUCCEEDED(hr)) hr = CreateMixDevUnit(this);
  if (name) CoTaskMemFree(name);
  if (moniker) moniker->Release();
  VariantClear(&v);
  Unlock();
  return hr;
}

IUnknown* CreateQvDevice(const CLSID* clsid, IUnknown* outer, HRESULT* result) {
  CQvDevice* d = new (std::nothrow) CQvDevice(outer, *clsid);
  if (!d) *result = E_OUTOFMEMORY;
  return d ? d->Unknown() : nullptr;
}

namespace {
CReporter* g_defaultReporter = nullptr;
}

void DeviceStartHook(const QvClassDesc*) {
  static CTextReporter console;
  static CDebugReporter debugger;
  CReporter* reporter = GetConsoleCP() ? static_cast<CReporter*>(&console) : &debugger;
  reporter->m_caption = "Quorvale Driver";
  reporter->m_module = QvdrvModule();
  g_defaultReporter = reporter;
}

CReporter* QvDefaultReporter() { return g_defaultReporter; }

// ---- the device enumerator ----

const ComInterfaceEntry CQvDeviceEnum::Interfaces[] = {
    {&IID_IQVDeviceEnum, ComOffset<CQvDeviceEnum, IQVDeviceEnum>()},
    {nullptr, 0},
};

CQvDeviceEnum::CQvDeviceEnum(IUnknown* outer, IQVDevice* device, ULONG index)
    : CCom(outer, 0, Interfaces, true), m_device(device), m_index(index) {
  m_device->AddRef();
}

CQvDeviceEnum::~CQvDeviceEnum() { m_device->Release(); }

HRESULT STDMETHODCALLTYPE CQvDeviceEnum::Next(ULONG count, QvBoardStatus* out, ULONG* fetched) {
  if (!out) return E_POINTER;
  if (!fetched && count > 1) return E_INVALIDARG;
  ULONG n = 0;
  bool open = m_device->IsClosed() == S_OK ||
              SUCCEEDED(m_device->Open(L"Qvwave", GENERIC_READ, FILE_SHARE_READ, 0));
  for (; open && n < count; ++n) {
    memset(&out[n], 0, sizeof out[n]);
    uint32_t index = m_index;
    if (FAILED(m_device->IoControl(IOCTL_QV_GET_STATUS, &index, sizeof index, &out[n], sizeof out[n], nullptr,
                                   nullptr)))
      break;
    ++m_index;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CQvDeviceEnum::Skip(ULONG n) {
  m_index += n;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvDeviceEnum::Reset() {
  m_index = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvDeviceEnum::Clone(IQVDeviceEnum** out) {
  if (!out) return E_POINTER;
  CQvDeviceEnum* e = new (std::nothrow) CQvDeviceEnum(nullptr, m_device, m_index);
  if (!e) {
    *out = nullptr;
    return E_OUTOFMEMORY;
  }
  *out = static_cast<IQVDeviceEnum*>(e);  // the creation reference
  return S_OK;
}

IUnknown* CreateQvDeviceEnum(const CLSID*, IUnknown* outer, HRESULT* result) {
  IQVDevice* device = nullptr;
  *result = CoCreateInstance(CLSID_QvDevice, nullptr, CLSCTX_INPROC_SERVER, IID_IQVDevice,
                             reinterpret_cast<void**>(&device));
  if (FAILED(*result)) return nullptr;
  CQvDeviceEnum* e = new (std::nothrow) CQvDeviceEnum(outer, device, 0);
  device->Release();
  if (!e) *result = E_OUTOFMEMORY;
  return e ? e->Unknown() : nullptr;
}
