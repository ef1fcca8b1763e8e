// The mixdown run dialog: while the units play the locator range through
// the mixdown mixer, it keeps the automation and the mixer elements moving,
// pumps the program's messages and moves the progress bar, until the range
// end is reached (IDOK) or the user cancels.
#pragma once

#include <windows.h>

#include <cstdint>

// What the run asks of the mixer, the automation and the transport.
struct MixdownMixerHooks {
  // Saves the user's mixer, builds the mixdown mixer recording `output` onto
  // the record tracks, locates to preRoll and starts the units, automation
  // and MIDI with the play/record end at `end`. 0 when it could not start.
  int (*start)(int32_t output, const int32_t* recTracks, int32_t n, int32_t preRoll, int32_t end) = nullptr;
  // The routing text of the output ("Mixing down:" item).
  void (*routingText)(int32_t output, char* out, int size) = nullptr;
  // The engine's current location.
  int32_t (*location)() = nullptr;
  // One work step at the location: the automation follows it, the mixer
  // elements refresh, tempo and meter go out.
  void (*work)(int32_t location) = nullptr;
  // The automation library's fade resolution in milliseconds.
  void (*setFadeResolution)(int32_t ms) = nullptr;
  // Stops units, automation and MIDI, checks the mixer's DSP when `ok` and
  // restores the user's mixer; 1 when the recording stands.
  int (*finish)(int ok) = nullptr;
};
void MixdownSetMixerHooks(const MixdownMixerHooks& hooks);

// The program's fade resolution setting in milliseconds.
void MixdownSetFadeResolTime(int32_t ms);

enum : UINT { kWmuStartWork = WM_APP + 0x120 };

INT_PTR CALLBACK MixdownRunDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// The run of MixdownSeams: the dialog of the output's channel count over the
// main window; IDOK when the recording stands.
int MixdownRunWin(int32_t output, const int32_t* recTracks, int32_t n, int32_t preRoll, int32_t end);
