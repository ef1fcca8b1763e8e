// The mixer's bindings to the system: element libraries loaded from folders
// by the system loader, and the automation library's DLL bound by its
// exported names.
#pragma once

#include "mixer/mix/elemmod.h"
#include "mixer/mix/mixhost.h"

class Win32ElemLoader : public ElemLoader {
 public:
  std::vector<std::string> ListDlls(const std::string& folder) override;
  // Loads by full path; the current directory is kept as it was.
  void* Load(const std::string& path) override;
  void* Find(void* module, const char* name) override;
  void Free(void* module) override;
};

// The automation library as qvMxAut.dll exports it, loaded on first use;
// every call fails when the DLL or one of its exports cannot be had. The
// knob-value callback it is initialised with sets the mixer's knobs.
MixAutLib& DllAutLib();
