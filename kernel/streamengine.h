// The interrupt-time stream engine's arithmetic: the board's position
// counters (24 bits, in units of 4 samples; 16 units make a block of 64
// samples), the 64-bit sample counter with its lock to incoming time code,
// time code to frames, the phase to the master board, the stream status
// record, the playback rate converter and the caller-memory ring. Nothing
// here touches the kernel, so it runs alike in the driver and in tests.
#pragma once
#include <cstdint>

constexpr uint32_t QvUnitSamples = 4;
constexpr uint32_t QvBlockUnits = 16;
constexpr uint32_t QvBlockFrames = 64;
constexpr uint32_t QvCounterMask = 0xFFFFFF;

// Position flags.
enum : uint32_t {
  QvPosFrameCodeMask = 0xFFFF,     // frames per second x 1001
  QvPosTypeShift = 17,             // bits 17..19 time-code frame-rate type
  QvPosSourceShift = 20,           // bits 20..23 time-code source
  QvPosFromTimeCode = 1u << 24,
  QvPosLocked = 1u << 25,
  QvPosBackwards = 1u << 26,
  QvPosPhaseStable = 1u << 30,
  QvPosExternal = 1u << 31,
  QvPosLockBits = 7u << 24 | 7u << 28,  // 24..26 and 28..30
};

// What the board shows at an interrupt.
struct QvBoardReading {
  uint32_t input, output;   // positions, 24 bits
  uint32_t latch;           // output position latched at the interrupt's time stamp
  uint32_t running;         // 0 while the board's transport stands
  uint32_t rate;            // Hz, 0 when unknown
  uint32_t tcLatch;         // input position at which the last time code arrived
  uint32_t tc[2];           // the time code words (layout in QvTimeCodeFrames)
  uint32_t frameCount;      // the board's own frame count of the last frame
  uint32_t source;          // where the time code comes from (7: the host sets the lock)
  int64_t stamp;            // interrupt time, 100-ns units
};

struct QvPositionRecord {
  uint32_t block;                  // units, a multiple of 16
  uint32_t lastInput, lastOutput;
  uint32_t inputAdvance, outputAdvance;
  uint32_t ratio;                  // 0x10000 = the output kept pace with the input
  uint32_t phase;                  // samples to the master board, 9 bits
  uint32_t phaseCount;             // how often a new phase must still be seen
  uint32_t phaseCandidate;
  int64_t time;                    // 100-ns units
  int64_t lastFrames;
  uint32_t rate;
  uint32_t lastTcLatch;
  uint32_t flags;
  uint64_t counter;                // samples, while locked
  int64_t drift;
  uint32_t lastRunning;
  int32_t inputOffset;             // samples added for the sources 1 and 2
};

void QvPositionReset(QvPositionRecord* p);
// One interrupt's reading; returns the input advance in units.
uint32_t QvPositionUpdate(QvPositionRecord* p, const QvBoardReading& r);
// The time-code step alone (a new latch position): the frame count is
// compared with the last one and the counter locked, kept or unlocked.
void QvTimeCodeStep(QvPositionRecord* p, const QvBoardReading& r);

// Time code to frames. Word 0: bits 0..7 minutes, 8..12 hours, 13..15
// type (0: 24, 1: 25, 2: 30 drop-frame, 3: 30 frames per second); word 1:
// bits 16..23 seconds, 8..15 frames, 0..7 a signed frame offset. False for
// a type above 3.
bool QvTimeCodeFrames(uint32_t word0, uint32_t word1, int64_t* frames);
// The sample position of frame n at a rate and frame-rate code (frames per
// second x 1001), rounded to nearest.
int64_t QvFrameSample(int64_t frame, uint32_t rate, uint32_t frameCode);
// Counter units (4 samples each) as 100-ns time at a rate.
int64_t QvUnitsToTime(int32_t units, uint32_t rate);

// The phase of a board to the master: `diff` = own input - master input in
// units, `timeDifference` the time between the two boards' positions and
// `blockTime` the time of one block (both 100-ns units). A new value must be seen
// four times before it replaces the stored one; the stored value seen again
// counts down and marks the phase stable at 0.
void QvPhaseStep(QvPositionRecord* p, uint32_t diff, int64_t timeDifference, int64_t blockTime);
// A block has passed: the block position moves on, the counter too while locked.
void QvPositionBlock(QvPositionRecord* p);

// Reads a 64-bit value that another processor updates as two words: high,
// low, high again until both high reads agree.
uint64_t QvRead64(const volatile uint32_t* words);
inline uint64_t QvRead64(const volatile uint64_t* value) {
  return QvRead64(reinterpret_cast<const volatile uint32_t*>(value));
}

// ---- the stream status record ------------------------------------------------------------

struct QvStatusRecord {
  uint32_t position;
  uint32_t stampLow, stampHigh;
  uint32_t rate;
  uint16_t variSpeed, reserved;
  uint32_t mode;
  uint32_t extra[2];
};
static_assert(sizeof(QvStatusRecord) == 32, "the status record is 32 bytes");

constexpr uint32_t QvStatusRateChanged = 1u << 28, QvStatusFrameChanged = 1u << 29, QvModeTimeCodeWords = 1u << 24;

// The device-mode values the status record shows.
struct QvModeWords {
  uint32_t rate;
  uint16_t variSpeed;
  uint32_t mode;
  uint32_t extra[2];
};
// Fills the record when a half is ready: the frame counter, the stamp of
// the last tick moved back by the part of the tick interval that has run
// (e = 24-bit difference of two counter readings, n = the interval count),
// and the mode words with the change bits against the record's last values.
void QvFillStatus(QvStatusRecord* r, uint64_t frames, int64_t stamp, uint32_t e, uint32_t n, int64_t interval,
                  const QvModeWords& mode);

// ---- the rate converter ------------------------------------------------------------------

class QvRateConverter {
 public:
  static constexpr uint32_t RingBlocks = 4;
  static constexpr uint32_t BlockWords = QvBlockFrames * 16;
  // Fetches one block of 64 source frames of 16 words; false when none.
  using Fetch = bool (*)(void* context, uint32_t* block);

  // 0 or above 0x20000: false. 0x20000 is kept as 0x1FFFF; 0x10000 also
  // resets the fraction.
  bool SetRate(uint32_t rate);
  uint32_t Rate() const { return m_rate; }
  uint32_t Fraction() const { return m_fraction; }
  uint32_t Consumed() const { return m_consumed; }
  // Adds 64 output frames of the channels [first, first + count) into
  // `out` (16 words a frame), saturating; false when the source ran dry
  // (the frames that could be made are added).
  bool Mix(uint32_t* out, uint32_t first, uint32_t count, Fetch fetch, void* context);
  void Reset();

 private:
  uint32_t m_rate = 0x10000;
  uint32_t m_fraction = 0;
  uint32_t m_consumed = 0;
  uint32_t m_read = 0, m_frames = 0;  // read frame and frames buffered
  uint32_t m_ring[(RingBlocks + 1) * BlockWords] = {};
};

// ---- the caller-memory ring --------------------------------------------------------------

// The control block the caller shares with the driver.
struct QvCallerControl {
  uint32_t reserved0;
  uint32_t length;      // bytes
  uint32_t readOffset;
  uint32_t writeOffset;
  uint32_t reserved1;
  uint32_t moved;       // frames, 64 per block moved
  uint32_t missed;      // frames, 64 per block missed
  uint32_t reserved2;
};
static_assert(sizeof(QvCallerControl) == 32, "the control block is 32 bytes");

// Equal offsets mean an empty ring in both directions: the writer never
// fills the ring to the last byte (it moves only while more than one block
// is free), so the offsets meet only when the reader has taken everything.
// Bytes the reader may take:
uint32_t QvRingFilled(uint32_t length, uint32_t read, uint32_t write);
// Free bytes for the writer (equal offsets: the whole length); it writes a
// block only while more than the block is free:
uint32_t QvRingRoom(uint32_t length, uint32_t read, uint32_t write);
// One block of `bytes` between the ring and the board: playback reads at
// the read offset, recording writes at the write offset. Returns whether
// a block moved; moved and missed are counted in the control block. The
// offsets are taken once and checked against the length first.
bool QvRingStep(QvCallerControl* control, uint8_t* ring, uint32_t length, bool playback, uint8_t* block,
                uint32_t bytes);
