// With the simulated machine in the process, its capture stands where the
// native track inserts would: it is attached to each native device when the
// device opens and detached before it closes.
#include <windows.h>

#include "mixer/units/win32/natdev_win.h"

namespace {

template <class Fn>
Fn SimCall(const char* name) {
  HMODULE sim = GetModuleHandleA("QvSim.dll");
  return sim ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(sim, name))) : nullptr;
}

}  // namespace

void NatSimAttach(int32_t device, NatDevice* dev) {
  using Fn = int (*)(int32_t, Recorder*, uint32_t);
  if (auto attach = SimCall<Fn>("QvSimNatCaptureAttach")) attach(device, dev->recorder, dev->rate);
}

void NatSimDetach(int32_t device) {
  using Fn = void (*)(int32_t);
  if (auto detach = SimCall<Fn>("QvSimNatCaptureDetach")) detach(device);
}

void NatSimSetRate(uint32_t rate) {
  using Fn = void (*)(int32_t, uint32_t);
  if (auto set = SimCall<Fn>("QvSimNatCaptureSetRate"))
    for (int32_t k = 0; k < NatLinkDeviceCount(); ++k) set(k, rate);
}
