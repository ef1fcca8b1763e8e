// Services of the arrange editor that the model calls: redraws, record
// tracks and the record pass.
#pragma once

#include <cstdint>

// Redraws every open arrange window.
void ArrRedrawWindows();
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
