// The device interface library's services that the shell uses: the periodic
// timer and the last-error text.
#pragma once

#include "Drv/Qvdrv/qvdrv.h"
