// ImportTempoMap through the MidiFile library, loaded by name for the
// import and released after it.
#include <windows.h>

#include "mixer/model/tempoimport.h"

namespace {

template <typename Fn> Fn Entry(HMODULE lib, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

}  // namespace

TempoMapRec* ImportTempoMap(const char* path) {
  HMODULE lib = LoadLibraryA("MidiFile.dll");
  if (lib == nullptr) return nullptr;
  const MidiFileApi api{Entry<MidiReadFileFn>(lib, "MidiReadFile"), Entry<MidiGetErrFn>(lib, "MidiGetErr")};
  TempoMapRec* map = api.ReadFile != nullptr && api.GetErr != nullptr ? ImportTempoMapWith(api, path) : nullptr;
  FreeLibrary(lib);
  return map;
}
