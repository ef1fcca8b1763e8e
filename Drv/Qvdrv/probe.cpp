// The library's processor feature word, probed on the processor itself.
#include "Drv/Qvdrv/cpufeat.h"
#include "Drv/Qvdrv/qvdrv_private.h"

DWORD GetCpuFeatures() { return qvcpu::GetCpuFeatures(qvcpu::ProcessorCpuid()); }
