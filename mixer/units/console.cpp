#include "mixer/units/console.h"

#include <algorithm>
#include <cstring>

namespace {

const ConsoleLib* gLib = nullptr;
ConsoleHost* gHost = nullptr;
bool gLinked = false;
int gMotion = kMotionNone;
int32_t gShuttleSpeed = 0;
int32_t gScrubTarget = 0;
uint32_t gLastTick = 0;

constexpr int kStopped = 2, kRecording = 4;
constexpr uint32_t kModeLoopBit = 0x1, kModeBit8 = 0x8, kModeBit16 = 0x10, kModeSeamlessBit = 0x100;
constexpr uint32_t kFrameCodes[6] = {24, 25, 28, 29, 30, 31};
// Transport keys 0..7 and the commands they run (-1 refused); keys 2, 6 and
// 7 run a second command.
constexpr int kKeyFirst[8] = {15, 13, 3, 1, 0, -1, 6, 7};
constexpr int kKeySecond[8] = {-1, -1, 5, -1, -1, -1, 12, 12};

void Send(int32_t kind, int32_t a, intptr_t b) {
  if (gLinked && gLib != nullptr) gLib->notify(kind, a, b);
}

int32_t Clamp(int64_t position) {
  return static_cast<int32_t>(std::clamp<int64_t>(position, 0, kConsoleMaxLoc));
}

int32_t Step(int32_t steps) {
  return static_cast<int32_t>(std::clamp<int64_t>(
      int64_t{std::max(gHost->Zoom() / 2, 1)} * steps, INT32_MIN, INT32_MAX));
}

// A scrub target is held within one second of the now position.
int32_t ScrubTarget(int64_t target) {
  const int64_t now = gHost->NowLoc(), rate = gHost->SampleRate();
  return Clamp(std::clamp(target, now - rate, now + rate));
}

bool Scrubbing() { return gMotion == kMotionScrubBack || gMotion == kMotionScrubForward; }

void SendMixer() {
  const int32_t strips = gHost->MixStripCount();
  Send(kCnMixer, 0, strips);
  for (int32_t s = 0; s < strips; ++s) {
    ConsoleStripRec strip{};
    if (!gHost->MixStrip(s, &strip)) continue;
    Send(kCnMixer, 1, reinterpret_cast<intptr_t>(&strip));
    for (int32_t e = 0; e < strip.elements; ++e) {
      ConsoleElemRec elem{};
      if (gHost->MixElem(s, e, &elem)) Send(kCnMixer, 2, reinterpret_cast<intptr_t>(&elem));
    }
  }
  Send(kCnMixer, 4, 0);
}

int Motion(int32_t a) {
  if (a == 0) {
    if (gMotion == kMotionNone) return 0;
    if (Scrubbing()) gHost->ScrubEnd();
    gMotion = kMotionNone;
    gShuttleSpeed = 0;
    gHost->EnableAppWindows(1);
    gHost->LocateNow(gHost->NowLoc());
    return 1;
  }
  if (a < kMotionJog || a > kMotionShuttle || gMotion != kMotionNone) return 0;
  if (gHost->TransportState() != kStopped) return 0;
  gHost->EnableAppWindows(0);
  gMotion = a;
  gShuttleSpeed = 0;
  gScrubTarget = gHost->NowLoc();
  gLastTick = gHost->TimeMs();
  return 1;
}

int TransportKey(int32_t a) {
  if (a < 0 || a > 7 || kKeyFirst[a] < 0 || gMotion != kMotionNone) return 0;
  gHost->TransportCommand(kKeyFirst[a]);
  if (kKeySecond[a] >= 0) gHost->TransportCommand(kKeySecond[a]);
  return 1;
}

int Locate(int32_t a, intptr_t b) {
  const int32_t position = Clamp(b);
  switch (a) {
    case 0:
      if (gMotion == kMotionJog) {
        gHost->SetNowView(position);
        return 1;
      }
      if (gMotion != kMotionNone || gHost->TransportState() != kStopped) return 0;
      gHost->LocateNow(position);
      return 1;
    case 1:
      if (!Scrubbing()) return 0;
      gScrubTarget = ScrubTarget(position);
      gHost->ScrubStep(gScrubTarget);
      return 1;
    case 2:
    case 3:
      if (gHost->TransportState() == kRecording) return 0;
      gHost->SetLocator(a, position);
      return 1;
    default: return 0;
  }
}

int Nudge(int32_t a, intptr_t b) {
  const int32_t step = Step(static_cast<int32_t>(b));
  switch (a) {
    case 0:
      if (gMotion == kMotionShuttle) {
        gShuttleSpeed = step;
        return 1;
      }
      if (gMotion == kMotionJog) {
        gHost->SetNowView(Clamp(int64_t{gHost->NowLoc()} + step));
        return 1;
      }
      if (gMotion != kMotionNone || gHost->TransportState() != kStopped) return 0;
      gHost->LocateNow(Clamp(int64_t{gHost->NowLoc()} + step));
      return 1;
    case 1:
      if (!Scrubbing()) return 0;
      gScrubTarget = ScrubTarget(int64_t{gScrubTarget} + step);
      gHost->ScrubStep(gScrubTarget);
      return 1;
    case 2:
    case 3: {
      if (gHost->TransportState() == kRecording) return 0;
      const int32_t from = a == 2 ? gHost->LeftLoc() : gHost->RightLoc();
      gHost->SetLocator(a, Clamp(int64_t{from} + step));
      return 1;
    }
    default: return 0;
  }
}

int Modes(int32_t mask, intptr_t values) {
  uint32_t mode = gHost->PlayRecMode();
  if ((mask & 1) && (mode & kModeLoopBit)) {
    mode = (values & 1) ? mode | kModeSeamlessBit : mode & ~kModeSeamlessBit;
    gHost->SetPlayRecMode(mode);
    gHost->SeamlessLoopChanged();
  }
  if (mask & 2) {
    mode = (values & 2) ? mode | kModeBit8 : mode & ~kModeBit8;
    gHost->SetPlayRecMode(mode);
    gHost->ModeBitChanged(kModeBit8);
  }
  if (mask & 4) {
    mode = (values & 4) ? mode | kModeBit16 : mode & ~kModeBit16;
    gHost->SetPlayRecMode(mode);
    gHost->ModeBitChanged(kModeBit16);
  }
  gHost->ShowModeLamps();
  ConsoleSendModes(gHost->PlayRecMode(), kModeLoopBit | kModeBit8 | kModeBit16 | kModeSeamlessBit);
  return 1;
}

}  // namespace

void ConsoleBind(const ConsoleLib* lib, ConsoleHost* host) {
  gLib = lib;
  gHost = host;
  gLinked = false;
  gMotion = kMotionNone;
  gShuttleSpeed = 0;
}

int ConsoleLinked() { return gLinked ? 1 : 0; }

int ConsoleLinkRegister() {
  gLinked = false;
  if (gLib == nullptr || gHost == nullptr) return 0;
  if (gLib->registerConsole(0, ConsoleCommandProc, ConsoleQueryProc) != kConsoleVersion) return 0;
  gLinked = true;
  ConsoleSendTransport(gHost->TransportState());
  ConsoleSendSampleRate(gHost->SampleRate());
  ConsoleSendFrameRate(gHost->FrameRateCode());
  ConsoleSendTimecodeOffset(gHost->TimecodeOffset());
  // The locators as every other notification numbers them: now, left, right.
  ConsoleSendLocator(0, gHost->NowLoc());
  ConsoleSendLocator(2, gHost->LeftLoc());
  ConsoleSendLocator(3, gHost->RightLoc());
  for (int32_t n = 1; n <= kConsoleMarkers; ++n) ConsoleSendMarker(n);
  SendMixer();
  Send(kCnZoom, 0, gHost->Zoom());
  Send(kCnTrackCount, 0, kConsoleTracks);
  for (int32_t t = 1; t <= kConsoleTracks; ++t) ConsoleSendRecReady(t);
  ConsoleSendModes(gHost->PlayRecMode(), 25);
  return 1;
}

void ConsoleLinkUnregister() {
  if (gLinked && gLib != nullptr) gLib->unregisterConsole();
  gLinked = false;
}

int32_t ConsoleFrameRateIndex(uint32_t code) {
  for (int32_t i = 0; i < 6; ++i)
    if (kFrameCodes[i] == code) return i;
  return -1;
}

uint32_t ConsoleModeBits(uint32_t mode) {
  uint32_t bits = 0;
  if ((mode & kModeLoopBit) && (mode & kModeSeamlessBit)) bits |= 1;
  if (mode & kModeBit8) bits |= 2;
  if (mode & kModeBit16) bits |= 4;
  return bits;
}

void ConsoleSendTransport(int state) { Send(kCnTransport, 4 - state, 0); }

void ConsoleSendModes(uint32_t mode, uint32_t mask) {
  uint32_t m = 0;
  if (mask & (kModeLoopBit | kModeSeamlessBit)) m |= 1;
  if (mask & kModeBit8) m |= 2;
  if (mask & kModeBit16) m |= 4;
  Send(kCnModes, static_cast<int32_t>(ConsoleModeBits(mode) & m), m);
}

void ConsoleSendLocator(int which, int32_t position) { Send(kCnLocator, which, position); }

void ConsoleSendMarker(int32_t n) {
  if (!gLinked || n < 1 || n > kConsoleMarkers) return;
  ConsoleMarkerRec rec{-1, {}};
  if (gHost->MarkerValid(n)) gHost->Marker(n, &rec);
  rec.name[sizeof rec.name - 1] = '\0';
  Send(kCnMarker, n - 1, reinterpret_cast<intptr_t>(&rec));
}

void ConsoleSendRecReady(int32_t track) {
  if (!gLinked || track < 1 || track > kConsoleTracks) return;
  Send(kCnRecReady, track - 1, gHost->RecState(track));
}

void ConsoleSendZoom(int32_t samplesPerPixel) { Send(kCnZoom, 0, samplesPerPixel); }

void ConsoleSendSampleRate(uint32_t rate) { Send(kCnSampleRate, static_cast<int32_t>(rate), 0); }

void ConsoleSendFrameRate(uint32_t code) {
  const int32_t i = ConsoleFrameRateIndex(code);
  if (i >= 0) Send(kCnFrameRate, i, 0);
}

void ConsoleSendTimecodeOffset(uint32_t offset) {
  Send(kCnTimecodeOffset, static_cast<int32_t>(offset), 0);
}

void ConsoleSendKnob(int32_t elem, int32_t knob, int32_t value) {
  if (!gLinked) return;
  ConsoleKnobRec rec{knob, value << gHost->KnobShift(elem, knob)};
  Send(kCnKnob, elem, reinterpret_cast<intptr_t>(&rec));
}

int32_t HRL_CONAPI ConsoleCommandProc(int32_t kind, int32_t a, intptr_t b) {
  if (!gLinked || gHost == nullptr) return 0;
  if (gHost->MouseCaptured() || gHost->ModalOpen()) return 0;
  const bool motionKind = kind == 0 || kind == 1 || kind == 3;
  if (motionKind && gHost->NinePinArmedToDrive()) return 0;
  switch (kind) {
    case 0: return Motion(a);
    case 1: return TransportKey(a);
    case 2: return Locate(a, b);
    case 3: return Nudge(a, b);
    case 4: {
      if (a < 0 || a >= kConsoleMarkers) return 0;
      const int32_t position = Clamp(b);
      const bool exists = gHost->MarkerValid(a + 1) != 0;
      gHost->UndoRecord(exists ? 0 : 1);
      gHost->MarkerEdit(exists ? 1 : 0, a + 1, position);
      return 1;
    }
    case 5:
      if (a < 0 || a > 7) return 0;
      if (a == 1 && (b == 8 || b == 9)) gHost->ToolButton(b);
      else gHost->WindowMessage(a, b);
      return 1;
    case 6: {
      if (a < 0 || a > 63) return 0;
      const int tool = gHost->ToolAtIndex(a);
      if (tool != 99) gHost->ToolSelect(1, tool);
      return 1;
    }
    case 7: {
      const auto* rec = reinterpret_cast<const ConsoleKnobRec*>(b);
      if (rec == nullptr) return 0;
      const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(rec->value)
                                                 << gHost->KnobShift(a, rec->knob));
      if (!gHost->SetKnob(a, rec->knob, value)) return 0;
      gHost->MxaSetKnobValue(a, rec->knob, value);
      return 1;
    }
    case 8:
      if (a < 0 || a >= kConsoleTracks) return 0;
      if (gHost->TransportState() == kRecording && gHost->PlayRecMode() >= 128) return 0;
      gHost->SetRecReady(a + 1, b == 1 ? 2 : 0);
      return 1;
    case 9: return Modes(a, b);
    case 10: return gHost->ElemSet(a, 16, b) ? 1 : 0;
    default: return 0;
  }
}

int32_t HRL_CONAPI ConsoleQueryProc(int32_t kind, int32_t a, intptr_t out) {
  if (!gLinked || gHost == nullptr || out == 0) return 0;
  auto* word = reinterpret_cast<int32_t*>(out);
  switch (kind) {
    case 0: *word = 4 - gHost->TransportState(); return 1;
    case 1: *word = static_cast<int32_t>(gHost->SampleRate()); return 1;
    case 2: {
      const int32_t i = ConsoleFrameRateIndex(gHost->FrameRateCode());
      if (i < 0) return 0;
      *word = i;
      return 1;
    }
    case 3: *word = static_cast<int32_t>(gHost->TimecodeOffset()); return 1;
    case 4: {
      const int state = gHost->TransportState();
      if (a == 0) *word = state == 3 || state == 4 ? gHost->ClockLoc() : gHost->NowLoc();
      else if (a == 2) *word = gHost->LeftLoc();
      else if (a == 3) *word = gHost->RightLoc();
      else return 0;
      return 1;
    }
    case 5: {
      if (a < 0 || a >= kConsoleMarkers) return 0;
      auto* rec = reinterpret_cast<ConsoleMarkerRec*>(out);
      *rec = ConsoleMarkerRec{-1, {}};
      if (gHost->MarkerValid(a + 1)) gHost->Marker(a + 1, rec);
      rec->name[sizeof rec->name - 1] = '\0';
      return 1;
    }
    case 6:
      if (a < 0 || a > 3 || gHost->MixRebuilding()) return 0;
      return gHost->MixQuery(a, out) ? 1 : 0;
    case 7: {
      auto* rec = reinterpret_cast<ConsoleKnobRec*>(out);
      int32_t value = 0;
      if (!gHost->KnobValue(a, rec->knob, &value)) return 0;
      rec->value = value >> gHost->KnobShift(a, rec->knob);
      return 1;
    }
    case 8:
      if (a != 0) return 0;
      *word = gHost->Zoom();
      return 1;
    case 9: *word = kConsoleTracks; return 1;
    case 10:
      if (a < 0 || a >= kConsoleTracks) return 0;
      *word = gHost->RecState(a + 1) == 2 ? 1 : 0;
      return 1;
    case 11: *word = static_cast<int32_t>(ConsoleModeBits(gHost->PlayRecMode()) & static_cast<uint32_t>(a)); return 1;
    default: return 0;
  }
}

int ConsoleMotionState() { return gMotion; }
int32_t ConsoleShuttleSpeed() { return gShuttleSpeed; }

int32_t ConsoleShuttleTarget(int32_t position, int32_t speed, uint32_t rate, uint32_t ms) {
  // speed x rate x ms / 524288000 without leaving 64 bits: the quotient and
  // the remainder of speed x rate are scaled apart.
  constexpr int64_t kDiv = 524288000;
  const int64_t q = int64_t{speed} * std::min<int64_t>(rate, INT32_MAX);
  const int64_t moved = q / kDiv * int64_t{ms} + q % kDiv * int64_t{ms} / kDiv;
  return Clamp(int64_t{position} + moved);
}

void ConsoleShuttleStep() {
  if (gHost == nullptr || gMotion != kMotionShuttle) return;
  const uint32_t now = gHost->TimeMs();
  const uint32_t elapsed = now - gLastTick;
  gLastTick = now;
  gHost->LocateNow(ConsoleShuttleTarget(gHost->NowLoc(), gShuttleSpeed, gHost->SampleRate(), elapsed));
}
