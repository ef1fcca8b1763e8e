// The transport, console and MIDI services the shell's start-up and timer
// call (the set the start-up tests stand in for).
#include "mixer/model/arr.h"
#include "mixer/model/settings.h"
#include "mixer/units/console.h"
#include "mixer/units/midiplay.h"
#include "mixer/units/natlink.h"
#include "mixer/units/services.h"
#include "mixer/units/transport.h"
#include "mixer/units/win32/transport_host.h"

void TransportCommand(int cmd) {
  ProgramLinksInit();
  TransportRun(cmd);
}

int32_t GetCurrentLoc() {
  const int state = TransportStateOf(TransportLampState());
  const bool moving = state == kTransportPlaying || state == kTransportRecording;
  return moving && NatLinkDeviceCount() > 0 ? NatLinkGetCloc() : Locs().NowLoc;
}

int ConsoleRegister() {
  ProgramLinksInit();
  return ConsoleLinkRegister();
}

int ConsoleMotionMode() { return ConsoleMotionState(); }
void ConsoleShuttleTick() { ConsoleShuttleStep(); }
// Jog and scrub move by the surface's own commands; a tick has nothing to
// add to them.
void ConsoleMotionTick() {}

void MidiRebuildAndPrep(ArrRec* arr, int32_t position) {
  ProgramLinksInit();
  MidiRebuildAndPrepLists(arr, position);
}

void VideoSetIniFile(const char* path) { ProgramVideoSetIni(path); }
