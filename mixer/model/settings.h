// The project settings and edit-view values that every position, time-code,
// musical and snapping conversion reads, and the three locators.
#pragma once

#include <cstdint>

// The twenty project settings, by their index 0..19 (the comments give the
// index), with the values of a new project. Only the settings entry point
// writes them; the conversions treat every value, zero included, as possible
// and never divide by one unchecked.
struct ProjectSettings {
  uint32_t SampleRate = 44100;       // 0: Hz
  uint32_t SyncSource = 0;           // 1: the units' sync-source value
  uint32_t CurFrameRate = 25;        // 2: a FrameRateCode
  uint16_t MeterNum = 4;             // 3: high 16 bits of the stored word
  uint16_t MeterDen = 4;             // 3: low 16 bits
  uint32_t Tempo = 12000;            // 4: 1/100 BPM
  uint32_t TcOffset = 0;             // 5: samples; the time code of position 0
  uint32_t SnapMode = 15;            // 6: 0..18
  uint32_t PlayRecMode = 0;          // 7: mode flag bits
  uint32_t PreRoll = 0;              // 8: samples
  uint32_t PostRoll = 0;             // 9: samples
  uint32_t MaxRecTime = 0;           // 10: samples per track, 0 = maximum
  uint32_t AutoTouchTimeout = 0;     // 11: ms
  uint32_t AutoReturnTime = 0;       // 12: ms
  uint32_t AutoThinFactor = 0;       // 13: 0..1000
  uint16_t AutoRecMode = 0;          // 14: 0 normal, 1 touch, 2 touch till stop
  uint16_t AutoFlags = 0;            // 15: bit 0 cycle end mode
  uint32_t SnapshotPartLen = 0;      // 16: samples, 0 = from the locators
  uint32_t SnapshotFadeIn = 0;       // 17: ms
  uint32_t SnapshotFadeOut = 0;      // 18: ms
  uint32_t SnapshotFlags = 0;        // 19: bits 0..2

  // Edit-view values read by the grid snapping, not project settings: the
  // snap on/off option and the arrange view's samples per pixel, which turns
  // the snap distance limit of 12 pixels into samples.
  uint32_t SnapEnable = 0;
  int32_t Hzoom = 1024;
};

// The program-wide settings.
ProjectSettings& Settings();

// The now position and the left and right locators, in samples.
struct Locators {
  int32_t NowLoc = 0;
  int32_t LeftLoc = 0;
  int32_t RightLoc = 0;
};

// The program-wide locators.
Locators& Locs();
