// The program's native devices: qvNatDev.dll bound by name and the link's
// devices opened over it.
#pragma once

#include "mixer/units/natlink.h"

// The library's calls; null when qvNatDev.dll (or the recorder library
// under it) cannot be loaded.
const NatDevApi* NatDevLibraryApi();

// The simulated machine's capture of what the devices play (nothing when
// the simulated machine is not in the process).
void NatSimAttach(int32_t device, NatDevice* dev);
void NatSimDetach(int32_t device);
void NatSimSetRate(uint32_t rate);
