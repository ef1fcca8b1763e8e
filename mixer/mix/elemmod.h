// Element modules: finding and loading the libraries of mixer elements,
// binding their ten entry points by name, and reaching an element type or an
// element instance through the module that offers it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "elements/elemif.h"

// The entry points of one module, in the order they are bound.
enum ElemEntry : int {
  kEntInit,
  kEntGetElemType,
  kEntGetElemTypeProperties,
  kEntGetElemTypeKnobProperties,
  kEntCreateElement,
  kEntDeleteElement,
  kEntLoadElement,
  kEntSetElement,
  kEntGetElement,
  kEntCreateElementWindows,
  kEntCount
};
extern const char* const kElemBindNames[kEntCount];

struct ElemModuleRec {
  void* Module;  // the loaded library
  ELEMMODINFO Info;
  QVInitElemModuleFn Init;
  QVGetElemTypeFn GetElemType;
  QVGetElemTypePropertiesFn GetElemTypeProperties;
  QVGetElemTypeKnobPropertiesFn GetElemTypeKnobProperties;
  QVCreateElementFn CreateElement;
  QVDeleteElementFn DeleteElement;
  QVLoadElementFn LoadElement;
  QVSetElementFn SetElement;
  QVGetElementFn GetElement;
  QVCreateElementWindowsFn CreateElementWindows;
};

constexpr int kElemModuleMax = 96;

// An element instance: its module and the module's own handle.
struct ElemRef {
  int32_t Module;
  ElemHandle Handle;
};

// How libraries are found and loaded: the system's loader in the program, a
// table of in-process modules in tests.
class ElemLoader {
 public:
  virtual ~ElemLoader() = default;
  // Names of the files of the folder matching "*.DLL", in listing order.
  virtual std::vector<std::string> ListDlls(const std::string& folder) = 0;
  virtual void* Load(const std::string& path) = 0;
  virtual void* Find(void* module, const char* name) = 0;
  virtual void Free(void* module) = 0;
};

// The host side of the two callbacks handed to every module.
// The DSP callback is the mixer's DspCommandBlock until one is set.
void ElemSetHostCallbacks(ElemDspCallback dsp, ElemNotifyCallback notify);

// Start-up scan of the two folders (the second only when it differs, case
// sensitively, from the first); the number of kept modules.
int ScanElementLibraries(ElemLoader& loader, const char* first, const char* second);
// Scans one more folder into the table (creating it when needed); a folder
// already scanned is skipped. The number of kept modules.
int ScanElementFolder(ElemLoader& loader, const char* folder);
// Loads and binds one library into rec; 1 bound, 0 refused.
int BindElementLibrary(ElemLoader& loader, const char* path, ElemModuleRec* rec);
void FreeElementLibraries();

int ElemModuleCount();
const ElemModuleRec* ElemModuleAt(int index);
// Copies the module name (at most 63 characters and a NUL).
void ElemModuleName(int index, char* out);
int ElemModuleOfType(uint32_t type);
uint32_t ElemTypeByIndex(uint32_t index);
int FindElementType(uint32_t type, ELEMTYPEPROPINFO* out);
int FindElemTypeKnob(uint32_t type, uint32_t knob, ELEMKNOBPROPINFO* out);

// The 324-byte record from a version-102 module's 300-byte one, with the
// fix-ups by type code.
void ElemConvertOldTypeRecord(uint32_t type, const uint8_t* old300, ELEMTYPEPROPINFO* out);

ElemRef* CreateElementRef(uint32_t type, void* hostContext);
void DeleteElementRef(ElemRef* ref);
uint32_t CallLoadElement(const ElemRef* ref, void* dspHandle, void* placement);
uint32_t CallSetElement(const ElemRef* ref, uint32_t code, uintptr_t data);
uint32_t CallGetElement(const ElemRef* ref, uint32_t code, void* out);
WndHandle CallCreateElementWindows(const ElemRef* ref, WndHandle parent, ElemPoint* position, int32_t width);
