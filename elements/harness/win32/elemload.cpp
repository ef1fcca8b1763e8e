#include "elements/harness/win32/elemload.h"

HMODULE ElemModuleLoad(const char* name, ElemModuleCalls* calls) {
  *calls = ElemModuleCalls{};
  HMODULE module = LoadLibraryA(name);
  if (!module) return nullptr;
  for (int i = 0; i < kElemExportCount; ++i) {
    FARPROC proc = GetProcAddress(module, kElemExportNames[i]);
    if (!proc) {
      FreeLibrary(module);
      *calls = ElemModuleCalls{};
      return nullptr;
    }
    *ElemCallSlot(calls, i) = reinterpret_cast<void*>(proc);
  }
  return module;
}
