// The program's native devices: qvNatDev.dll bound by name and the link's
// devices opened over it.
#pragma once

#include "mixer/units/natlink.h"

// The library's calls; null when qvNatDev.dll (or the recorder library
// under it) cannot be loaded.
const NatDevApi* NatDevLibraryApi();

// Called after the devices are opened, with each device's recorder: the
// simulated machine attaches its stream clients here. Null: none.
using NatDevOpenedHook = void (*)(int32_t device, NatDevice* dev);
void SetNatDevOpenedHook(NatDevOpenedHook hook);
