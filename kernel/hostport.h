// The DSP host ports of the recorder units: two generations of port, each
// over I/O ports, PCI memory registers or the enhanced parallel port (EPP),
// with the five port operations and the block movers between host buffers
// and 24-bit DSP words.
#pragma once
#include "kernel/hwaccess.h"

#include <cstdint>

struct HostPort;
struct PortVariant;

// The five port operations, in their fixed order.
struct PortOps {
  // 1 when the port answers as its kind.
  int (*Probe)(HostPort* p);
  // Vector 0: 1 when a command can be taken now; 0x12..0x1F: written, 1;
  // other vectors: 1, nothing written. 0 while a command is pending.
  int (*Command)(HostPort* p, uint32_t vector);
  void (*Reset)(HostPort* p);
  // end null: prepares the port for the format and returns null. Otherwise
  // moves what the port takes from pos on and returns the new position, or
  // null when the port is not ready.
  uint8_t* (*Write)(HostPort* p, uint32_t format, uint8_t* pos, uint8_t* end);
  uint8_t* (*Read)(HostPort* p, uint32_t format, uint8_t* pos, uint8_t* end);
};

// A block mover: moves whole words while count lasts (and, when polled,
// while the port stays ready after each word) and returns the new position.
struct Mover {
  bool write;
  uint8_t format;
};
// Entries 0..7 read formats 0..7, entries 8..15 write formats 0..7; null: none.
using MoverTable = const Mover* const[16];

struct HostPort {
  const PortOps* ops;
  HwRegs regs;                // the unit's registers; on EPP the parallel port's
  HwRegs board;               // the card's registers (memory ports), else none
  const PortVariant* variant; // null on the null port
  const Mover* const* movers; // 16 entries, null until probed
  bool wide;                  // first generation on I/O: middle and low as one 16-bit access
};

enum class PortLink : uint8_t { Io, Memory, Epp };

// The port of an unprobed unit: probe 1, a command always pending, no
// transfers.
extern const PortOps NullPortOps;
void HostPortClear(HostPort* p);

// The probe order of a link: the variant's operations for kind UnitKindPort1
// or UnitKindPort2; null when the link has no such port.
const PortOps* HostPortOpsFor(PortLink link, uint32_t kind);
// Installs the variant of ops on the port (before its probe).
void HostPortSelect(HostPort* p, const PortOps* ops);

// The mover run by a port's Write or Read (exposed for tests of the word
// formats): returns the new position.
uint8_t* RunMover(HostPort* p, const Mover& m, uint8_t* pos, uint32_t count);
// Host bytes per DSP word of a format in one direction; 0 where none exists.
uint32_t MoverHostBytes(bool write, uint32_t format);
