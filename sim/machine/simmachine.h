// The simulated machine as one process-wide instance inside QvSim.dll: the
// simulated kernel with the driver loaded and the boards and units on its
// bus. The device library reaches it through the three Win32-shaped calls
// of qvsim.cpp; tests and tools shape it through these functions (every
// kernel and simulation function is exported by QvSim.dll as well).
#pragma once
struct DRIVER_OBJECT;
#include "sim/units/hostunit.h"
#include "sim/units/ninepin.h"
#include "sim/units/transport.h"

#include <cstdint>

namespace simpcidsp {
class StreamEngine;
}

namespace simmachine {

// The machine the device library finds when no test shaped it: a recorder
// unit of the second port generation on eight I/O ports at 0x300, opened
// as Qvdev0. Started at the first open; nothing when already running.
void StartDefault();
// A fresh machine: the driver unloaded, everything removed, the kernel
// reset, the driver loaded again with no boards.
void Reset();
// The driver unloaded and every board and unit removed.
void Shutdown();
bool Running();
DRIVER_OBJECT* Driver();
// A recorder unit on eight I/O ports at `port`, arrived on the bus.
// The first unit added carries the machine's 9-pin engine.
simunit::HostUnit* AddIoUnit(simunit::Generation generation, uint64_t port);
// The 9-pin engine of unit 1; null before a unit was added.
simunit::NinePinEngine* NinePin();
// The transport of the firmware of the unit added `index`-th (0-based);
// null when there is no such unit.
simunit::UnitTransport* UnitTransportOf(int index);

// A PCI DSP board of the Tavrion family in the next slot, arrived, booted
// and with its 16-channel stream engine running on the machine's clock
// (real time, a block whenever the board's rate has made 64 frames). What
// it plays goes to "QvSim board <n> play.wav" in the current folder; when
// "QvSim board <n> record.wav" is there, its inputs hear that file. The
// engine stays the machine's; tests may change its input and drift.
simpcidsp::StreamEngine* AddPciBoard(uint32_t boardId);

}  // namespace simmachine
