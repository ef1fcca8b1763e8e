// The transport, console, MIDI and video services the model calls while the
// program runs.
#include "logs/services.h"
#include "mixer/model/marker.h"
#include "mixer/model/settings.h"
#include "mixer/units/console.h"
#include "mixer/units/midiplay.h"
#include "mixer/units/natlink.h"
#include "mixer/units/services.h"
#include "mixer/units/transport.h"
#include "mixer/units/unitmotion.h"
#include "mixer/units/win32/transport_host.h"

int TransportState() { return TransportStateOf(TransportLampState()); }

void TransportUpdateEndLoc() {
  // Play or record runs to the right locator in a loop, else to the end of
  // the time line.
  const uint32_t mode = Settings().PlayRecMode;
  const int32_t end = (mode & kModeLoop) ? Locs().RightLoc : 0x7FFF05FF;
  UnitsSetPlayRecEndLoc(end);
  if (NatLinkApi()) NatLinkSetEnd(end);
}

int MidiSetLoop(int kind, int prepare) {
  ProgramLinksInit();
  return MidiSetLoopRange(kind, prepare);
}

int MidiDeleteTakeLog(uint32_t log) {
  ProgramLinksInit();
  for (MidiTakeLog* rec = MidiTakeLogs(); rec != nullptr; rec = rec->Next)
    if (rec->Id == log) return MidiDeleteLogRecord(rec);
  return 1;
}

// The model numbers the locators 0 now, 1 left, 2 right; the surface 0, 2, 3.
void ConsoleNotifyLocator(int locator, int32_t position) {
  if (locator >= 0 && locator <= 2) ConsoleSendLocator(locator == 0 ? 0 : locator + 1, position);
}
void ConsoleNotifyModes(uint32_t mode, uint32_t mask) { ConsoleSendModes(mode, mask); }
void ConsoleNotifyRecReady(int recTrack) { ConsoleSendRecReady(recTrack); }
void ConsoleNotifyZoom(int32_t samplesPerPixel) { ConsoleSendZoom(samplesPerPixel); }
void ConsoleNotifyMarker(const MrkList*, uint32_t n) { ConsoleSendMarker(static_cast<int32_t>(n)); }
void ConsoleNotifySampleRate(uint32_t rate) { ConsoleSendSampleRate(rate); }
void ConsoleNotifyFrameRate(uint32_t code) { ConsoleSendFrameRate(code); }
void ConsoleNotifyTimecodeOffset(uint32_t offset) { ConsoleSendTimecodeOffset(offset); }

void QVVPLAYER_SetSampleRate(uint32_t rate) { ProgramVideoSetRate(rate); }

void QVMIV_PrepPlayBufs(int32_t position) {
  ProgramLinksInit();
  MidiPrepPlay(position);
}
