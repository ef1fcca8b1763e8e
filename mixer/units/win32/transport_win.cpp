// The transport, console and MIDI services the shell's start-up and timer
// call (the set the start-up tests stand in for).
#include "logs/services.h"
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

// The MIDI log library's start and settings.
void QVMIV_Init() { ProgramMidiInit(); }
void QVMIV_Quit() { ProgramMidiQuit(); }
void QVMIV_SetSampleRate(uint32_t hz) { ProgramMidiSetSampleRate(hz); }
void QVMIV_SetTimeCodeOffset(uint32_t samples) { ProgramMidiSetTimeCodeOffset(samples); }
