// The heartbeat of the program: one run of the main timer procedure, on the
// user-interface thread, from the 50 ms window timer and after every wait of
// the message loop.
#pragma once

#include <cstdint>

// Positions at or beyond this count as the end of time.
constexpr int32_t kEndOfTime = 0x7FFF05FF;
constexpr int32_t kLastUsableLoc = 0x7FFF05FE;

struct MainTimerState {
  uint32_t now = 0;           // the tick of this run, ms
  uint32_t lastBlink = 0;     // last post of the blink message
  uint32_t lastSlow = 0;      // last slow tick
  int32_t slowTick = 0;       // this run is a slow tick
  uint32_t lastAutoSave = 0;
  int32_t prevNow = 0;        // now position before this run's update
  int32_t takeErrGuard = 0;   // a report is on screen: Take error,
  int32_t engineGuard = 0;    //   engine limit (237),
  int32_t playListGuard = 0;  //   play lists late (239)
  int32_t autoPlayArmed = 0;  // incoming time code stopped: its next start plays
  int32_t chaseArmed = 0;     // the units chase incoming time code
};

MainTimerState& TimerState();
// Set once a device failure ended the program's work; the timer stops.
extern int32_t FatalErrorState;

// One run at tick `now`.
void MainTimerTick(uint32_t now);

// The wind's now position: `elapsedMs` after it began at `start`, forwards
// or backwards at sample rate x 1000 / d samples per second (d 12 fast, 50
// normal), kept within 0..kLastUsableLoc.
int32_t WindPosition(int32_t start, uint32_t elapsedMs, uint32_t rate, int fast, int forward);

// What the timer procedure needs of the windows, implemented by the shell's
// Windows layer and by tests.
// Posts the blink message (3145) to the window registered for it, if any.
void TimerPostBlink();
// 1 while the mouse is captured.
int TimerMouseCaptured();
// 1 while a modal dialog or message box is open.
int TimerModalOpen();
// 1 while the audio-buffer window exists; it is given the reserve.
void TimerShowAudioReserve(int32_t reserve);
// The automatic save of the changed documents.
void DocAutoSave();
// Shows the now position on the transport displays.
void TimerShowNow(int32_t position);
// The external clock watch (once per slow tick).
void CheckUnitSyncStatus();
