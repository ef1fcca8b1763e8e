// Services of the arrange editor that the model calls: redraws, record
// tracks and the record pass.
#pragma once

#include <cstdint>

// Redraws every open arrange window.
void ArrRedrawWindows();

struct ArrRec;
// A device context as the editing routines pass it along; the same type as
// HDC. Null: nothing is drawn.
using DcHandle = struct HDC__*;
// Draws the Part in `slot` of `track` into the arrange Part area: mode 0 its
// own sections, 1 also the crossfade partners that cover it, 2 and 3 only
// its crossfade-in and crossfade-out sections; the locator lines over it
// when drawLocators is set.
void ArrDrawPart(DcHandle dc, const ArrRec* arr, uint32_t slot, uint32_t track, int drawLocators,
                 int mode);
// Fills the Part's rectangle with the background and redraws the grid and
// marker lines over it, when its row is visible.
void ArrErasePart(DcHandle dc, const ArrRec* arr, uint32_t slot, uint32_t track, int flag);
// 1 while the arrange Part area drags a range between the locators.
int ArrIsDraggingRange();
// Redraws the marker ruler, when the arrange window shows it.
void ArrRedrawMarkerRuler();

// Record tracks. Kinds are Take kinds: 3 Audio, 20 Automation, 21 Midi.
// The first Virtual Track carrying the record track, the last track of its
// link group through `lastTrack`; -1 when no track carries it.
int ArrFindRecTrkGroup(int kind, int recTrack, int* lastTrack);
// Virtual Tracks carrying that record track; at least 1.
int ArrCountRecTrks(int kind, int recTrack);
// Redraws the headers of the tracks carrying that record track.
void ArrRedrawRecTrkHeaders(int kind, int recTrack);

// Record pass. Ends the Parts being recorded on the listed record tracks at
// the position.
void ArrTrimRecordParts(int32_t position, const int* audio, int audioCount, const int* autom,
                        int automCount, const int* midi, int midiCount);
// Punches the listed record tracks in at the position; 0 when the recording
// engine refuses.
int ArrRecordLoopTakes(int32_t position, const int* audio, int audioCount, const int* autom,
                       int automCount, const int* midi, int midiCount);
// Start position of the running recording.
int32_t ArrRecordStartLoc();
// Re-evaluates the arrange editor's tool cursor after a modifier key changed.
void ArrUpdateToolCursor();
// Scrolls the arrange view to show the position.
void ArrScrollToLoc(int32_t position);
// Noise-gate defaults, and the arrange zoom, context tool sets, info tool
// and crossfade defaults read from the ini file at start-up.
void NgtSetDefaults();
// The program's processing and recording settings (sharing and deletion
// choices, 24-bit recording, overview builds, time stamps, stream buffer)
// taken into the processing options after a change; the record/process
// folder likewise.
void ProcOptionsFromSettings();
void ProcSetFolder(const char* folder);
// The folder of the noise gate's current settings file: set from the
// remembered folder at start-up, read back when the settings are saved.
void NgtSetPathFolder(const char* folder);
void NgtPathFolder(char* out, int size);
void ArrReadStartSettings();

// What the timer procedure follows while the transport is stopped.
// 1 while a solo play started from the arrange window runs.
int ArrSoloPlaying();
// 1 while a scrub runs.
int ArrScrubbing();
// The arrange editor's solo-play state; 3 while a solo play of a span waits
// for the transport to reach it.
int ArrSoloPlayState();
// 1 while an off-line engine run (normalize, DC removal, mixdown, crossfade
// audition) has its run dialog up; 1 while that run is a mixdown.
int ProcRunActive();
int ProcMixdownRunning();
// Moves the running off-line operation's progress bar to the engine's
// location.
void ProcRunProgress(int32_t location);
// Fills the main menu with the external modules' processes once after the
// scan; `mainWnd` is the main frame (an HWND).
void EopUpdateMenu(void* mainWnd);
// 1 while an external module's audition plays.
int EopAuditionPlaying();

// Commands of the main menu that the arrange editor carries out.
// The global arrangement commands 41442..41461 and flatten (41846), after
// the dispatcher's locator checks; 0 when a command needing a selection
// found none.
int ArrGlobalCommand(uint32_t id);
// Midi Parts recorded with a tempo: whether any exist, and their re-timing
// to the tempo map (1 when anything changed).
int ArrHasTempoMidiParts();
int ArrRetimeMidiParts();
// Writes the info tool and the crossfade defaults of section ArrangeWnd.
void ArrSaveSettings();
// Sets the arrange window's follow button (1 pressed).
void ArrSetFollowButton(int pressed);
// One zoom step of the arrange window (in = 1).
void ArrZoomStep(int in);
// Runs an external off-line module's menu item.
void EopRunTool(void* mainWnd, uint32_t id);
