// The COM object base: interface-table queries, reference counts, the
// module's counts, and the shared COM helpers.
#include "Inc/ccom.h"

#include "Inc/base.h"

#include <olectl.h>

#include <cstdio>
#include <new>

namespace {
// Both counts are changed from any thread: the classes are "Both".
volatile LONG g_objects = 0;
volatile LONG g_locks = 0;
}  // namespace

LONG ComObjectCount() { return g_objects; }
LONG ComLockCount() { return g_locks; }
LONG ComLockServer(BOOL lock) { return InterlockedAdd(&g_locks, lock ? 1 : -1); }

void* CCom::operator new(size_t size) {
  void* block = MemAlloc(size);
  if (!block) throw std::bad_alloc();
  return block;
}
void* CCom::operator new(size_t size, const std::nothrow_t&) noexcept { return MemAlloc(size); }
void CCom::operator delete(void* block) { MemFree(block); }

CCom::CCom(IUnknown* outer, DWORD spinCount, const ComInterfaceEntry* interfaces, bool noLock)
    : m_outer(outer ? outer : Unknown()), m_interfaces(interfaces) {
  InterlockedIncrement(&g_objects);
  if (!noLock) {
    m_lock = &m_section;
    InitCriticalSection(m_lock, spinCount);
  }
}

CCom::~CCom() {
  if (m_lock) DeleteCriticalSection(m_lock);
  if (m_inner) {
    IUnknown* inner = m_inner;
    m_inner = nullptr;
    inner->Release();
  }
  InterlockedDecrement(&g_objects);
}

HRESULT STDMETHODCALLTYPE CCom::NonDelegatingQueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown)) {
    *out = Unknown();
    NonDelegatingAddRef();
    return S_OK;
  }
  const ComInterfaceEntry* entry = m_interfaces;
  while (entry) {
    if (reinterpret_cast<uintptr_t>(entry->iid) < 0x10000) {
      entry = reinterpret_cast<const ComInterfaceEntry*>(entry->word);
      continue;
    }
    if (IsEqualIID(iid, *entry->iid)) {
      if (entry->word >> 16) return reinterpret_cast<ComQueryFunction>(entry->word)(this, iid, out);
      IUnknown* itf =
          reinterpret_cast<IUnknown*>(reinterpret_cast<char*>(this) + static_cast<int16_t>(entry->word & 0xFFFF));
      itf->AddRef();
      *out = itf;
      return S_OK;
    }
    ++entry;
  }
  return QueryInner(iid, out);
}

HRESULT CCom::QueryInner(REFIID iid, void** out) {
  if (m_inner) return m_inner->QueryInterface(iid, out);
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CCom::NonDelegatingAddRef() { return InterlockedIncrement(&m_refs); }

ULONG STDMETHODCALLTYPE CCom::NonDelegatingRelease() {
  LONG refs = InterlockedDecrement(&m_refs);
  if (refs) return refs;
  m_refs = 1;  // a release during destruction does not destroy twice
  DeleteThis(1);
  return 0;
}

void CCom::DeleteThis(int free) {
  if (free) {
    delete this;
  } else {
    this->~CCom();
  }
}

HRESULT CCom::CreateInner(REFCLSID clsid) {
  return Create(reinterpret_cast<void**>(&m_inner), clsid, IID_IUnknown, CLSCTX_INPROC_SERVER, m_outer);
}

void* CCom::Query(void** holder, IUnknown* unknown, REFIID iid, HRESULT* result) {
  if (*holder) {
    IUnknown* old = static_cast<IUnknown*>(*holder);
    *holder = nullptr;
    old->Release();
  }
  HRESULT hr = unknown ? unknown->QueryInterface(iid, holder) : E_POINTER;
  if (FAILED(hr)) {
    *holder = nullptr;
    if (result) {
      *result = hr;
    } else {
      // {message, data length, data, HRESULT, last error, function, file, line}
      RaiseFailure(0x8000FFFF, 8, ULONG_PTR{0xC000000E}, ULONG_PTR{16}, reinterpret_cast<ULONG_PTR>(&iid),
                   static_cast<ULONG_PTR>(static_cast<DWORD>(hr)), static_cast<ULONG_PTR>(GetLastError()),
                   reinterpret_cast<ULONG_PTR>("CCom::Query"), reinterpret_cast<ULONG_PTR>(__FILE__),
                   ULONG_PTR{__LINE__});
    }
  }
  return *holder;
}

HRESULT CCom::Create(void** holder, REFCLSID clsid, REFIID iid, DWORD context, IUnknown* outer) {
  Assign(holder, nullptr);
  return CoCreateInstance(clsid, outer, context, iid, holder);
}

void CCom::Assign(void** holder, IUnknown* pointer) {
  if (pointer) pointer->AddRef();
  IUnknown* old = static_cast<IUnknown*>(*holder);
  *holder = pointer;
  if (old) old->Release();
}

HRESULT ComInitialize(DWORD flags) {
  typedef HRESULT(WINAPI * InitEx)(LPVOID, DWORD);
  HMODULE ole = GetModuleHandleA("Ole32.dll");
  if (!ole) ole = LoadLibraryA("Ole32.dll");
  InitEx initEx = ole ? reinterpret_cast<InitEx>(reinterpret_cast<void*>(GetProcAddress(ole, "CoInitializeEx"))) : nullptr;
  if (initEx) return initEx(nullptr, flags);
  return CoInitialize(nullptr);
}

HRESULT CoStrDupW(LPWSTR* out, LPCWSTR text) {
  if (!out) return E_POINTER;
  size_t bytes = (lstrlenW(text ? text : L"") + 1) * sizeof(WCHAR);
  *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*out) return E_OUTOFMEMORY;
  memcpy(*out, text ? text : L"", bytes);
  return S_OK;
}

void GuidToString(const GUID& g, char* buffer) {
  snprintf(buffer, 39, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(g.Data1),
           g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
           g.Data4[7]);
}

namespace {
HKEY OpenGuidKey(const char* prefix, const GUID& guid, REGSAM access, BOOL create) {
  char name[64];
  int n = snprintf(name, sizeof name, "%s\\", prefix);
  GuidToString(guid, name + n);
  HKEY key = nullptr;
  LONG rc = create ? RegCreateKeyExA(HKEY_CLASSES_ROOT, name, 0, nullptr, 0, access, nullptr, &key, nullptr)
                   : RegOpenKeyExA(HKEY_CLASSES_ROOT, name, 0, access, &key);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    return nullptr;
  }
  return key;
}
}  // namespace

HKEY OpenClsidKey(const GUID& guid, REGSAM access) { return OpenGuidKey("CLSID", guid, access, FALSE); }
HKEY OpenInterfaceKey(const GUID& guid, REGSAM access, BOOL create) {
  return OpenGuidKey("Interface", guid, access, create);
}

HRESULT ShowPropertyFrame(IUnknown* object, HWND owner, LPCWSTR caption) {
  ISpecifyPropertyPages* specify = nullptr;
  HRESULT hr = object->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify));
  if (FAILED(hr)) return hr;
  CAUUID pages = {0, nullptr};
  hr = specify->GetPages(&pages);
  specify->Release();
  if (FAILED(hr)) return hr;
  hr = OleCreatePropertyFrame(owner, 10, 10, caption, 1, &object, pages.cElems, pages.pElems, 0, 0, nullptr);
  CoTaskMemFree(pages.pElems);
  return hr;
}
