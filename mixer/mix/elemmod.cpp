#include "mixer/mix/elemmod.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mixer/mix/mixdsp.h"
#include "mixer/mix/mixhost.h"
#include "mixer/model/util/strtab.h"

const char* const kElemBindNames[kEntCount] = {
    "_QVInitElemModule@12",  "_QVGetElemType@4",    "_QVGetElemTypeProperties@8",
    "_QVGetElemTypeKnobProperties@12", "_QVCreateElement@8", "_QVDeleteElement@4",
    "_QVLoadElement@12",     "_QVSetElement@12",    "_QVGetElement@12",
    "_QVCreateElementWindows@16",
};

namespace {

struct ModuleTable {
  ElemModuleRec* recs = nullptr;  // kElemModuleMax records, zero-filled
  int count = 0;
  ElemLoader* loader = nullptr;
  std::vector<std::string> scanned;  // folders scanned into the table
};
ModuleTable g_table;
// The mixer's own DSP callback unless the program sets another.
ElemDspCallback g_dsp = &DspCommandBlock;
ElemNotifyCallback g_notify = nullptr;

void** EntrySlot(ElemModuleRec* rec, int i) {
  void** slots[kEntCount] = {
      reinterpret_cast<void**>(&rec->Init),
      reinterpret_cast<void**>(&rec->GetElemType),
      reinterpret_cast<void**>(&rec->GetElemTypeProperties),
      reinterpret_cast<void**>(&rec->GetElemTypeKnobProperties),
      reinterpret_cast<void**>(&rec->CreateElement),
      reinterpret_cast<void**>(&rec->DeleteElement),
      reinterpret_cast<void**>(&rec->LoadElement),
      reinterpret_cast<void**>(&rec->SetElement),
      reinterpret_cast<void**>(&rec->GetElement),
      reinterpret_cast<void**>(&rec->CreateElementWindows),
  };
  return slots[i];
}

const char* FileNamePart(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == ':') name = p + 1;
  return name;
}

bool CreateTable() {
  if (g_table.recs) return true;
  g_table.recs = static_cast<ElemModuleRec*>(std::calloc(kElemModuleMax, sizeof(ElemModuleRec)));
  if (!g_table.recs) {
    MixHostGet().Message(IDS_HEAP_ALLOC_FAILED, kMixMsgExclamation, nullptr);
    return false;
  }
  g_table.count = 0;
  g_table.scanned.clear();
  return true;
}

void ScanFolder(ElemLoader& loader, const std::string& folder) {
  g_table.scanned.push_back(folder);
  g_table.loader = &loader;
  for (const std::string& file : loader.ListDlls(folder)) {
    if (g_table.count >= kElemModuleMax) return;
    ElemModuleRec* rec = &g_table.recs[g_table.count];
    std::memset(rec, 0, sizeof *rec);
    const std::string path = folder + file;
    if (!BindElementLibrary(loader, path.c_str(), rec)) continue;
    rec->Info.Size = kElemModInfoSize;
    rec->Init(g_dsp, g_notify, &rec->Info);
    if (rec->Info.Version == kElemIfVersionOld || rec->Info.Version == kElemIfVersion) {
      ++g_table.count;
    } else {
      loader.Free(rec->Module);
      std::memset(rec, 0, sizeof *rec);
    }
  }
}

const ElemModuleRec* Rec(int i) { return (i >= 0 && i < g_table.count) ? &g_table.recs[i] : nullptr; }

}  // namespace

void ElemSetHostCallbacks(ElemDspCallback dsp, ElemNotifyCallback notify) {
  g_dsp = dsp;
  g_notify = notify;
}

int BindElementLibrary(ElemLoader& loader, const char* path, ElemModuleRec* rec) {
  char text[300];
  std::snprintf(text, sizeof text, StrText(IDS_LOADING_MIXER_LIBRARY), FileNamePart(path));
  MixHostGet().StartupText(text);
  void* module = loader.Load(path);
  if (!module) return 0;
  for (int i = 0; i < kEntCount; ++i) {
    void* entry = loader.Find(module, kElemBindNames[i]);
    if (!entry) {
      loader.Free(module);
      return 0;
    }
    *EntrySlot(rec, i) = entry;
  }
  rec->Module = module;
  return 1;
}

int ScanElementFolder(ElemLoader& loader, const char* folder) {
  if (!CreateTable()) return 0;
  for (const std::string& f : g_table.scanned)
    if (f == folder) return g_table.count;
  if (g_table.count < kElemModuleMax) ScanFolder(loader, folder);
  return g_table.count;
}

int ScanElementLibraries(ElemLoader& loader, const char* first, const char* second) {
  FreeElementLibraries();
  if (!CreateTable()) return 0;
  ScanElementFolder(loader, first);
  ScanElementFolder(loader, second);
  return g_table.count;
}

void FreeElementLibraries() {
  if (!g_table.recs) return;
  for (int i = 0; i < g_table.count; ++i)
    if (g_table.loader && g_table.recs[i].Module) g_table.loader->Free(g_table.recs[i].Module);
  std::free(g_table.recs);
  g_table = ModuleTable{};
}

int ElemModuleCount() { return g_table.count; }
const ElemModuleRec* ElemModuleAt(int index) { return Rec(index); }

void ElemModuleName(int index, char* out) {
  const ElemModuleRec* rec = Rec(index);
  if (!rec) return;
  std::memcpy(out, rec->Info.Name, kElemTextSize - 1);
  out[kElemTextSize - 1] = '\0';
}

int ElemModuleOfType(uint32_t type) {
  ELEMTYPEPROPINFO scratch;
  for (int i = 0; i < g_table.count; ++i) {
    std::memset(&scratch, 0, sizeof scratch);
    scratch.Size = kElemTypePropSize;
    if (g_table.recs[i].GetElemTypeProperties(type, &scratch)) return i;
  }
  return -1;
}

uint32_t ElemTypeByIndex(uint32_t index) {
  for (int i = 0; i < g_table.count; ++i) {
    const ElemModuleRec& rec = g_table.recs[i];
    if (index < rec.Info.TypeCount) return rec.GetElemType(index);
    index -= rec.Info.TypeCount;
  }
  return 0;
}

namespace {
uint32_t Get32(const uint8_t* p, int off) {
  uint32_t v;
  std::memcpy(&v, p + off, 4);
  return v;
}
void Put32(uint8_t* p, int off, uint32_t v) { std::memcpy(p + off, &v, 4); }
void CopyText(uint8_t* to, const uint8_t* from) {
  // A zero-terminated text of at most 63 characters in a 64-byte field.
  int n = 0;
  while (n < kElemTextSize - 1 && from[n]) ++n;
  std::memcpy(to, from, n);
  to[n] = 0;
}
}  // namespace

void ElemConvertOldTypeRecord(uint32_t type, const uint8_t* old, ELEMTYPEPROPINFO* out) {
  uint8_t* n = reinterpret_cast<uint8_t*>(out);
  std::memset(n, 0, sizeof *out);
  Put32(n, 0, kElemTypePropSize);
  Put32(n, 4, Get32(old, 4));
  CopyText(n + 8, old + 8);
  CopyText(n + 72, old + 72);
  Put32(n, 200, Get32(old, 200));
  const uint16_t flag = Get32(old, 204) != 0 ? 1 : 0;
  std::memcpy(n + 204, &flag, 2);
  std::memcpy(n + 208, old + 208, 248 - 208);
  Put32(n, 248, 2);
  std::memcpy(n + 252, old + 248, 272 - 248);
  std::memcpy(n + 280, old + 272, 296 - 272);
  Put32(n, 308, Get32(old, 296));
  if (type == 0x901 || type == 0x902) {
    int32_t v;
    std::memcpy(&v, n + 292, 4);
    if (v < 5) v = 5;
    std::memcpy(n + 292, &v, 4);
  }
  if (type == 0x802 || type == 0x803) Put32(n, 212, 1);
}

int FindElementType(uint32_t type, ELEMTYPEPROPINFO* out) {
  for (int i = 0; i < g_table.count; ++i) {
    const ElemModuleRec& rec = g_table.recs[i];
    if (rec.Info.Version == kElemIfVersion) {
      if (rec.GetElemTypeProperties(type, out)) return 1;
    } else {
      alignas(4) uint8_t old[300] = {};
      Put32(old, 0, 300);
      if (rec.GetElemTypeProperties(type, reinterpret_cast<ELEMTYPEPROPINFO*>(old))) {
        ElemConvertOldTypeRecord(type, old, out);
        return 1;
      }
    }
  }
  return 0;
}

int FindElemTypeKnob(uint32_t type, uint32_t knob, ELEMKNOBPROPINFO* out) {
  for (int i = 0; i < g_table.count; ++i)
    if (g_table.recs[i].GetElemTypeKnobProperties(type, knob, out)) return 1;
  return 0;
}

ElemRef* CreateElementRef(uint32_t type, void* hostContext) {
  const int m = ElemModuleOfType(type);
  if (m < 0) return nullptr;
  const ElemModuleRec& rec = g_table.recs[m];
  ElemHandle h = rec.CreateElement(type, hostContext);
  if (!h) return nullptr;
  ElemRef* ref = static_cast<ElemRef*>(std::calloc(1, sizeof(ElemRef)));
  if (!ref) {
    rec.DeleteElement(h);
    return nullptr;
  }
  ref->Module = m;
  ref->Handle = h;
  return ref;
}

void DeleteElementRef(ElemRef* ref) {
  if (!ref) return;
  g_table.recs[ref->Module].DeleteElement(ref->Handle);
  std::free(ref);
}

uint32_t CallLoadElement(const ElemRef* ref, void* dspHandle, void* placement) {
  return g_table.recs[ref->Module].LoadElement(ref->Handle, dspHandle, placement);
}
uint32_t CallSetElement(const ElemRef* ref, uint32_t code, uintptr_t data) {
  return g_table.recs[ref->Module].SetElement(ref->Handle, code, data);
}
uint32_t CallGetElement(const ElemRef* ref, uint32_t code, void* out) {
  return g_table.recs[ref->Module].GetElement(ref->Handle, code, out);
}
WndHandle CallCreateElementWindows(const ElemRef* ref, WndHandle parent, ElemPoint* position, int32_t width) {
  return g_table.recs[ref->Module].CreateElementWindows(ref->Handle, parent, position, width);
}
