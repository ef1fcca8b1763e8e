// The COM object base of the library: every object's IUnknown through its
// class's interface tables (offset entries, function entries, chained base
// tables), an optional aggregated inner object as the query fallback, the
// module's live-object and server-lock counts, and the helpers the COM
// classes share.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <new>

class CCom;

// A function entry answers a query itself: (object, iid, out) -> HRESULT.
typedef HRESULT (*ComQueryFunction)(CCom* object, REFIID iid, void** out);

// One entry of an interface table. `word` is an offset (low 16 bits,
// signed) from the object to the interface's vtable pointer while its high
// bits are zero, else the address of a ComQueryFunction. An entry whose iid
// pointer is below 0x10000 ends the table; its word then points to the next
// (base class's) table, or is 0.
struct ComInterfaceEntry {
  const GUID* iid;
  uintptr_t word;
};

// The offset of interface I within class C, for an offset entry.
template <class C, class I>
uintptr_t ComOffset() {
  C* object = reinterpret_cast<C*>(uintptr_t{0x1000});
  return static_cast<uint16_t>(reinterpret_cast<uintptr_t>(static_cast<I*>(object)) - uintptr_t{0x1000});
}
inline uintptr_t ComFunction(ComQueryFunction function) { return reinterpret_cast<uintptr_t>(function); }
inline uintptr_t ComNext(const ComInterfaceEntry* next) { return reinterpret_cast<uintptr_t>(next); }

// The non-delegating IUnknown: the same three slots as IUnknown, under
// names of their own so that the interface parts' delegating IUnknown
// methods do not override them.
class CCom {
 public:
  // outer: the aggregating object, or null (the object controls itself).
  // spinCount 0 with `noLock`: the object has no critical section.
  CCom(IUnknown* outer, DWORD spinCount, const ComInterfaceEntry* interfaces, bool noLock = false);

  // The non-delegating IUnknown (slots 0-2).
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** out);
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef();
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease();
  // Slot 3: destroys the object, freeing its memory when `free` is 1.
  virtual void DeleteThis(int free);
  // Slot 4: the answer when no table has the interface; asks the inner object.
  virtual HRESULT QueryInner(REFIID iid, void** out);
  // After the five slots above: the destructor's own slots.
  virtual ~CCom();

  // The object's own IUnknown (slots 0-2 above).
  IUnknown* Unknown() { return reinterpret_cast<IUnknown*>(this); }

  // Creates an aggregated inner object of the class, this object as outer.
  HRESULT CreateInner(REFCLSID clsid);

  void Lock() { if (m_lock) EnterCriticalSection(m_lock); }
  void Unlock() { if (m_lock) LeaveCriticalSection(m_lock); }

  // Releases what the holder held and queries `unknown` for `iid` into it.
  // On failure the HRESULT goes to `result`, or, without one, the failed-call
  // exception is raised. The interface pointer or null.
  static void* Query(void** holder, IUnknown* unknown, REFIID iid, HRESULT* result);
  // Creates an instance into the holder (released first).
  static HRESULT Create(void** holder, REFCLSID clsid, REFIID iid, DWORD context, IUnknown* outer);
  // Stores the pointer (AddRef-ed) in the holder, releasing what it held.
  static void Assign(void** holder, IUnknown* pointer);

  void* operator new(size_t size);
  void* operator new(size_t size, const std::nothrow_t&) noexcept;
  void operator delete(void* block);

  IUnknown* m_outer;
  IUnknown* m_inner = nullptr;  // aggregated inner object, released with the object
  LONG m_refs = 1;
  const ComInterfaceEntry* m_interfaces;
  CRITICAL_SECTION* m_lock = nullptr;

 private:
  CRITICAL_SECTION m_section;
};

// The IUnknown of an interface part of a CCom-derived class: delegates to
// the controlling unknown.
#define CCOM_DELEGATING_UNKNOWN                                                                    \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {                     \
    return m_outer->QueryInterface(iid, out);                                                      \
  }                                                                                                \
  ULONG STDMETHODCALLTYPE AddRef() override { return m_outer->AddRef(); }                          \
  ULONG STDMETHODCALLTYPE Release() override { return m_outer->Release(); }

// Module counts, for DllCanUnloadNow.
LONG ComObjectCount();
LONG ComLockCount();
LONG ComLockServer(BOOL lock);

// CoInitializeEx when Ole32.dll has it, else CoInitialize(NULL).
HRESULT ComInitialize(DWORD flags);
// A task-memory copy of a wide text.
HRESULT CoStrDupW(LPWSTR* out, LPCWSTR text);
// "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}"; buffer of 39 characters.
void GuidToString(const GUID& guid, char* buffer);
// HKEY_CLASSES_ROOT\CLSID\{guid}, or null (last error set).
HKEY OpenClsidKey(const GUID& guid, REGSAM access);
// HKEY_CLASSES_ROOT\Interface\{guid}, opened or created.
HKEY OpenInterfaceKey(const GUID& guid, REGSAM access, BOOL create);
// The object's property pages in a property frame at (10, 10).
HRESULT ShowPropertyFrame(IUnknown* object, HWND owner, LPCWSTR caption);
