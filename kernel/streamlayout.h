// Where the PCI boards' stream program keeps its samples and positions:
// each 16-channel block of the common buffer's sample memory (32768 bytes)
// is a record ring of four 64-frame slots followed by a play ring of four;
// the positions and time code are read from registers after the host
// interface's own. The board and the driver both follow this layout.
#pragma once
#include <cstdint>

constexpr uint32_t QvRingSlots = 4;
constexpr uint32_t QvSlotFrames = 64;
constexpr uint32_t QvSlotBytes = QvSlotFrames * 16 * 4;         // 4096
constexpr uint32_t QvRingFrames = QvRingSlots * QvSlotFrames;   // 256
constexpr uint32_t QvRecordRing = 0;                           // offset within the block's memory
constexpr uint32_t QvPlayRing = QvRingSlots * QvSlotBytes;     // 16384
static_assert(QvPlayRing + QvRingSlots * QvSlotBytes == 32768, "two rings fill a block's sample memory");

// The host fills the play slot of a block 1 to QvRingSlots - 1 blocks
// after the block the interrupt reports as done: a client-buffer stream
// by its delay in blocks, the others this many. The slot the board plays
// last (QvRingSlots - 1 on) is cleared before any stream mixes into it.
constexpr uint32_t QvPlayAhead = 2;
constexpr uint32_t QvMostAhead = QvRingSlots - 1;

// Stream registers (32 bits each).
enum : uint32_t {
  QvRegInput = 0x20,      // input position, 24 bits, units of 4 samples
  QvRegOutput = 0x24,     // output position
  QvRegLatch = 0x28,      // output position when the interrupt was raised
  QvRegRunning = 0x2C,    // non-zero while the transport runs
  QvRegRate = 0x30,       // sample rate in Hz
  QvRegTcLatch = 0x34,    // input position of the last time code
  QvRegTc0 = 0x38,        // time code word 0
  QvRegTc1 = 0x3C,        // time code word 1
  QvRegFrameCount = 0x40, // the board's own frame count
  QvRegTcSource = 0x44,   // where the time code comes from
  QvRegStreamEnd = 0x48,
};
