// Services of the native device layer used by the model.
#pragma once

// 1 when no native device reports busy status bits (also when none is open),
// else 0.
int NatDevAllIdle();
