// The stream engine's arithmetic: positions, time code, phase, status
// record, rate converter and caller-memory ring.
#include "kernel/streamengine.h"

#include "kernel/samplecopy.h"

#include <cstring>

namespace {
int32_t SignExtend24(uint32_t v) { return static_cast<int32_t>(v << 8) >> 8; }
constexpr uint32_t TimeCodeSourceHost = 7;
constexpr uint32_t UnlockDistance = 5000;  // units between the input position and the last time code
constexpr uint32_t HostUnlock = 0xFF00, HostLock = 0xFF01;
constexpr uint32_t FrameCodes[4] = {24024, 25025, 30000, 30030};
constexpr uint32_t FramesPerSecond[4] = {24, 25, 30, 30};
}  // namespace

void QvPositionReset(QvPositionRecord* p) {
  uint32_t keep = p->flags & (QvPosFrameCodeMask | QvPosExternal);
  int32_t offset = p->inputOffset;
  std::memset(p, 0, sizeof *p);
  p->flags = keep;
  p->inputOffset = offset;
  p->ratio = 0x10000;
  p->phaseCount = 4;
}

int64_t QvUnitsToTime(int32_t units, uint32_t rate) {
  if (!rate) return 0;
  return static_cast<int64_t>(units) * QvUnitSamples * 10000000 / rate;
}

uint32_t QvPositionUpdate(QvPositionRecord* p, const QvBoardReading& r) {
  if (p->time == 0) {
    p->lastInput = r.input & QvCounterMask;
    p->lastOutput = r.output & QvCounterMask;
    p->lastTcLatch = r.tcLatch & QvCounterMask;
    p->block = p->lastInput & ~(QvBlockUnits - 1);
    p->flags &= ~QvPosLockBits;
  }
  uint32_t in = (r.input - p->lastInput) & QvCounterMask;
  uint32_t out = (r.output - p->lastOutput) & QvCounterMask;
  p->lastInput = (p->lastInput + in) & QvCounterMask;
  p->lastOutput = (p->lastOutput + out) & QvCounterMask;
  p->inputAdvance = in;
  p->outputAdvance = out;
  if (in) p->ratio = static_cast<uint32_t>((uint64_t(out) << 16) / in);
  if (r.rate) p->rate = r.rate;
  // The output moved on between the latch and the interrupt: that many
  // units of time, at the sample rate, later than the stamp.
  p->time = r.stamp + QvUnitsToTime(SignExtend24(r.output - r.latch), p->rate);
  if (p->time == 0) p->time = 1;  // 0 marks the first interrupt
  if (p->lastRunning && !r.running) {
    p->counter = 0;
    p->flags &= ~QvPosLockBits;
  }
  p->lastRunning = r.running;
  uint32_t source = (p->flags >> QvPosSourceShift) & 15;
  if ((p->flags & QvPosLocked) && source != TimeCodeSourceHost &&
      ((r.input - p->lastTcLatch) & QvCounterMask) > UnlockDistance)
    p->flags &= ~(QvPosLocked | QvPosFromTimeCode | QvPosBackwards);
  if ((r.tcLatch & QvCounterMask) != p->lastTcLatch) QvTimeCodeStep(p, r);
  return in;
}

void QvTimeCodeStep(QvPositionRecord* p, const QvBoardReading& r) {
  uint32_t type = (r.tc[0] >> 13) & 7;
  uint32_t source = r.source & 15;
  p->flags = (p->flags & ~(7u << QvPosTypeShift | 15u << QvPosSourceShift)) | type << QvPosTypeShift |
             source << QvPosSourceShift;
  uint32_t latch = r.tcLatch & QvCounterMask;
  uint32_t latchAdvance = (latch - p->lastTcLatch) & QvCounterMask;
  p->lastTcLatch = latch;
  if (source == TimeCodeSourceHost) {
    if (r.tc[0] == HostUnlock) p->flags &= ~(QvPosLocked | QvPosFromTimeCode | QvPosBackwards);
    if (r.tc[0] == HostLock) {
      // The host keeps the counter: it moves by the latch advance, in
      // samples at the current ratio, beyond what the blocks added.
      p->counter += (uint64_t(latchAdvance) * QvUnitSamples * p->ratio) >> 16;
      p->flags |= QvPosLocked | QvPosFromTimeCode;
    }
    return;
  }
  if (!r.running) return;
  int64_t frames;
  if (source == 1 || source == 2) {
    if (!QvTimeCodeFrames(r.tc[0], r.tc[1], &frames)) return;
  } else {
    frames = r.frameCount;
  }
  if (frames == p->lastFrames && (p->flags & QvPosLocked)) return;
  int64_t jump = frames - p->lastFrames;
  p->lastFrames = frames;
  if (p->flags & QvPosLocked) {
    if (jump > -3 && jump < 3) {
      p->flags = jump < 0 ? p->flags | QvPosBackwards : p->flags & ~QvPosBackwards;
      return;
    }
    p->flags &= ~(QvPosLocked | QvPosFromTimeCode | QvPosBackwards);
    return;
  }
  uint32_t code = p->flags & QvPosFrameCodeMask;
  if (!code) code = FrameCodes[type & 3];
  int64_t sample = QvFrameSample(frames, p->rate, code) +
                   int64_t((r.input - latch) & QvCounterMask) * QvUnitSamples - QvBlockFrames;
  if (source == 1 || source == 2) sample += p->inputOffset;
  p->counter = static_cast<uint64_t>(sample);
  p->flags |= QvPosLocked | QvPosFromTimeCode;
  p->drift = 0;
}

bool QvTimeCodeFrames(uint32_t word0, uint32_t word1, int64_t* frames) {
  uint32_t type = (word0 >> 13) & 7;
  if (type > 3) return false;
  int64_t minutes = int64_t((word0 >> 8) & 31) * 60 + (word0 & 0xFF);
  int64_t seconds = minutes * 60 + ((word1 >> 16) & 0xFF);
  int64_t n = seconds * FramesPerSecond[type] + ((word1 >> 8) & 0xFF) + static_cast<int8_t>(word1 & 0xFF);
  if (type == 2) n -= 2 * (minutes - minutes / 10);  // two frame numbers dropped a minute, not every tenth
  *frames = n;
  return true;
}

int64_t QvFrameSample(int64_t frame, uint32_t rate, uint32_t frameCode) {
  if (!frameCode) return 0;
  // A day of frames at 30 per second times 1001 times 384000 stays far
  // inside 63 bits.
  int64_t num = frame * 1001 * int64_t(rate);
  int64_t half = frameCode / 2;
  return num >= 0 ? (num + half) / frameCode : -((-num + half) / frameCode);
}

void QvPhaseStep(QvPositionRecord* p, uint32_t diff, int64_t timeDifference, int64_t blockTime) {
  if (blockTime <= 0) return;
  int64_t samples = int64_t(diff) * QvUnitSamples - (timeDifference * QvBlockFrames + blockTime / 2) / blockTime;
  uint32_t phase = static_cast<uint32_t>(samples) & 511;
  if (phase == p->phase) {
    if (p->phaseCount && --p->phaseCount == 0) p->flags |= QvPosPhaseStable;
    p->phaseCandidate = phase;
    return;
  }
  if (phase != p->phaseCandidate) {
    p->phaseCandidate = phase;
    p->phaseCount = 3;  // seen once; three more to go
    return;
  }
  if (--p->phaseCount == 0) {
    p->phase = phase;
    p->phaseCount = 4;
    p->flags &= ~QvPosPhaseStable;
  }
}

void QvPositionBlock(QvPositionRecord* p) {
  p->block = (p->block + QvBlockUnits) & QvCounterMask;
  if (p->flags & QvPosLocked) p->counter += QvBlockFrames;
}

uint64_t QvRead64(const volatile uint32_t* words) {
  uint32_t high, low;
  do {
    high = words[1];
    low = words[0];
  } while (high != words[1]);
  return uint64_t(high) << 32 | low;
}

// ---- status record -------------------------------------------------------------------------

void QvFillStatus(QvStatusRecord* r, uint64_t frames, int64_t stamp, uint32_t e, uint32_t n, int64_t interval,
                  const QvModeWords& m) {
  r->position = static_cast<uint32_t>(frames);
  e &= QvCounterMask;
  if (e && e < n) stamp -= int64_t(e) * ((interval + 2) / 4) / n;
  r->stampLow = static_cast<uint32_t>(stamp);
  r->stampHigh = static_cast<uint32_t>(static_cast<uint64_t>(stamp) >> 32);
  bool rateChanged = m.rate != r->rate || m.variSpeed != r->variSpeed;
  bool timeCodeWords = (m.mode & QvModeTimeCodeWords) != 0;
  bool frameChanged = timeCodeWords && (m.mode & 0xFFFF) != (r->mode & 0xFFFF);
  r->rate = m.rate;
  r->variSpeed = m.variSpeed;
  uint32_t low = timeCodeWords ? m.mode & 0xFFFF : r->mode & 0xFFFF;
  uint32_t high = m.mode & 0xFFFF0000 & ~(QvStatusRateChanged | QvStatusFrameChanged);
  r->mode = high | low | (rateChanged ? QvStatusRateChanged : 0) | (frameChanged ? QvStatusFrameChanged : 0);
  if (timeCodeWords) {
    r->extra[0] = m.extra[0];
    r->extra[1] = m.extra[1];
  }
}

// ---- rate converter ------------------------------------------------------------------------

bool QvRateConverter::SetRate(uint32_t rate) {
  if (rate == 0 || rate > 0x20000) return false;
  if (rate == 0x20000) rate = 0x1FFFF;
  if (rate == 0x10000) m_fraction = 0;
  m_rate = rate;
  return true;
}

void QvRateConverter::Reset() {
  m_fraction = m_consumed = m_read = m_frames = 0;
}

bool QvRateConverter::Mix(uint32_t* out, uint32_t first, uint32_t count, Fetch fetch, void* context) {
  constexpr uint32_t Capacity = (RingBlocks + 1) * QvBlockFrames;
  if (first >= 16) return true;
  if (count > 16 - first) count = 16 - first;
  // One frame beyond the last one stepped over: the interpolation's s1.
  uint32_t needed = ((m_fraction + uint64_t(m_rate) * QvBlockFrames) >> 16) + 1;
  bool dry = false;
  while (m_frames < needed && !dry) {
    if (m_read + m_frames + QvBlockFrames > Capacity) {
      // The unread tail goes back to the ring's start.
      std::memmove(m_ring, m_ring + m_read * 16, size_t(m_frames) * 16 * 4);
      m_read = 0;
    }
    if (fetch(context, m_ring + (m_read + m_frames) * 16)) m_frames += QvBlockFrames;
    else dry = true;
  }
  for (uint32_t f = 0; f < QvBlockFrames; ++f, out += 16) {
    if (m_frames < 2) return false;
    const uint32_t* s0 = m_ring + m_read * 16;
    const uint32_t* s1 = s0 + 16;
    int64_t w0 = 0xFFFF - m_fraction, w1 = m_fraction;
    for (uint32_t c = first; c < first + count; ++c) {
      int64_t v = (int64_t(int32_t(s0[c])) * w0 >> 17) + (int64_t(int32_t(s1[c])) * w1 >> 17);
      out[c] = QvMixWord(out[c], static_cast<int32_t>(2 * v));
    }
    uint32_t step = (m_fraction + m_rate) >> 16;
    if (step > m_frames - 1) return false;
    m_read += step;
    m_frames -= step;
    m_consumed += step;
    m_fraction = (m_fraction + m_rate) & 0xFFFF;
  }
  return !dry || m_frames >= 2;
}

// ---- caller-memory ring ----------------------------------------------------------------------

uint32_t QvRingFilled(uint32_t length, uint32_t read, uint32_t write) {
  return length ? (write + length - read) % length : 0;
}

uint32_t QvRingRoom(uint32_t length, uint32_t read, uint32_t write) {
  if (!length) return 0;
  uint32_t room = (read + length - write) % length;
  return room ? room : length;
}

bool QvRingStep(QvCallerControl* control, uint8_t* ring, uint32_t length, bool playback, uint8_t* block,
                uint32_t bytes) {
  uint32_t read = control->readOffset, write = control->writeOffset;
  bool usable = bytes && length && read < length && write < length && read % bytes == 0 && write % bytes == 0;
  bool moved = false;
  if (usable && playback && QvRingFilled(length, read, write) >= bytes) {
    std::memcpy(block, ring + read, bytes);
    read += bytes;
    control->readOffset = read == length ? 0 : read;
    moved = true;
  } else if (usable && !playback && QvRingRoom(length, read, write) > bytes) {
    std::memcpy(ring + write, block, bytes);
    write += bytes;
    control->writeOffset = write == length ? 0 : write;
    moved = true;
  }
  if (moved) control->moved += QvBlockFrames;
  else control->missed += QvBlockFrames;
  return moved;
}
