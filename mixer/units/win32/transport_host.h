// The program's binding of the transport, the control-surface link and
// MIDI to its services (transport_host.cpp), and the outside libraries they
// reach (outside_win.cpp).
#pragma once

#include <cstdint>

#include "mixer/units/console.h"
#include "mixer/units/midiplay.h"

// Binds the three to the program; the services call it before anything
// else (it runs once).
void ProgramLinksInit();
// Connects the arrange editor's record pass, processing runs and overview
// builds to the program (called by ProgramLinksInit).
void ProgramArrangeSeamsInit();

// QvConInt.dll's calls; null when the library cannot be loaded.
const ConsoleLib* ProgramConsoleLib();
// qvMidRec.dll's calls; null when the library cannot be loaded (MIDI then
// compiles nothing and the transport's MIDI calls do nothing).
const MidiLibApi* ProgramMidiLib();
// The library's start with the program's time conversions, its end and its
// settings.
void ProgramMidiInit();
void ProgramMidiQuit();
void ProgramMidiSetSampleRate(uint32_t rate);
void ProgramMidiSetTimeCodeOffset(uint32_t offset);
// QvVPlayer.dll's start and stop (nothing without the library).
void ProgramVideoStart();
void ProgramVideoStop();
void ProgramVideoSetRate(uint32_t rate);
void ProgramVideoSetIni(const char* path);

// The units' sync mode while a scrub follows the 9-pin machine (40505 with
// the flags of the sync settings), and the play flags of the current sync
// mode (syncflags_win.cpp).
void ProgramScrubSyncMode();
void ProgramRestorePlayFlags();
