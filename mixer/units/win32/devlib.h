// The unit layer's device calls bound to the device library.
#pragma once

#include "mixer/units/unitdev.h"

// The table over qvDevOpen, qvDevIoControl and qvDevClose, with `fatal` as
// the DSP function error report.
UnitDevApi DeviceLibraryUnitApi(int (*fatal)(UnitHandle h, int code));
