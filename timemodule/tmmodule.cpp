#include "timemodule/tmmodule.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tmod {

namespace {

constexpr const char* kMaker = "HRL";

EOPMODINFO ModuleRecord() {
  EOPMODINFO r{};
  r.Size = sizeof r;
  r.Revision = 8;
  r.Version = kEopInterfaceVersion;
  r.ModVersion = 101;
  std::strcpy(r.Name, "Time Module (Exvora)");
  std::snprintf(r.Maker, sizeof r.Maker, "%s, Version 1.01", kMaker);
  r.ProcessCount = 3;
  return r;
}

EOPPLUGININFO ProcessRecord(uint32_t index) {
  EOPPLUGININFO r{};
  r.Size = sizeof r;
  r.Kind = 2;
  std::strcpy(r.Name, TmProcessName(index));
  std::strcpy(r.Maker, kMaker);
  r.ProcessId = kEopIdTimeStretch + index;
  return r;
}

// Copies min(caller's size, record size) bytes over the caller's record and
// writes the copied length into its size word.
template <typename R> void CopyRecord(const R& rec, R* out) {
  const uint32_t n = std::min<uint32_t>(out->Size, sizeof(R));
  std::memcpy(out, &rec, n);
  if (n >= sizeof(uint32_t)) out->Size = n;
}

}  // namespace

int32_t TmGetModuleInfo(EOPMODINFO* info) {
  if (info == nullptr) return 0;
  CopyRecord(ModuleRecord(), info);
  return 1;
}

int32_t TmGetPlugInInfo(uint32_t index, EOPPLUGININFO* info) {
  if (info == nullptr || index > 2) return 0;
  CopyRecord(ProcessRecord(index), info);
  return 1;
}

int32_t TmProcess(uint32_t mode, uint32_t noDialog, const EOPHOSTFUNCS* host, TmUi& ui) {
  EOPHOSTFUNCS own{};
  if (host == nullptr) return 0;
  std::memcpy(&own, host, std::min<size_t>(host->Size, sizeof own));
  if (mode > kEopPitchShift) return 0;
  // Services the caller's table does not reach count as absent: the run
  // needs every one it calls.
  if (!own.GetInfo || !own.PartAtLoc || !own.NxtPart || !own.GetPartInfo || !own.SetPartInfo ||
      !own.GetTakeInfo || !own.SetTakeInfo || !own.CreateTake || !own.ReadTake || !own.WriteTake ||
      !own.ErrorText)
    return 0;
  return TmRunProcess(mode, noDialog, own, ui);
}

}  // namespace tmod
