// The control-surface link: the program registers a command callback and a
// query callback with the console-interface library and pushes a
// notification whenever the state the surface shows changes. Everything
// runs on the user-interface thread.
//
// The core is portable: the library is reached through ConsoleLib and the
// program's state through ConsoleHost.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define HRL_CONAPI __attribute__((stdcall))
#else
#define HRL_CONAPI
#endif

// The library's version answer to a registration that links.
inline constexpr int32_t kConsoleVersion = 0x2010000;
inline constexpr int32_t kConsoleMaxLoc = 0x7FFF05FE;
inline constexpr int32_t kConsoleTracks = 192;
inline constexpr int32_t kConsoleMarkers = 999;

enum ConsoleNotifyKind : int32_t {
  kCnTransport = 0,
  kCnSampleRate = 1,
  kCnFrameRate = 2,
  kCnTimecodeOffset = 3,
  kCnLocator = 4,
  kCnMarker = 5,
  kCnMixer = 6,
  kCnKnob = 7,
  kCnZoom = 8,
  kCnTrackCount = 9,
  kCnRecReady = 10,
  kCnModes = 11,
};

enum ConsoleMotion : int32_t {
  kMotionNone = 0,
  kMotionJog = 1,
  kMotionScrubBack = 2,
  kMotionScrubForward = 3,
  kMotionShuttle = 4,
};

// Records handed through the b word (a pointer) of notifications, commands
// and queries.
struct ConsoleMarkerRec {
  int32_t position;  // -1: the marker is not in use
  char name[64];
};
struct ConsoleKnobRec {
  int32_t knob;
  int32_t value;
};
struct ConsoleStripRec {
  int32_t index;
  int32_t elements;
  char name[32];
};
struct ConsoleElemRec {
  int32_t strip;
  int32_t index;
  int32_t type;
  int32_t knobs;
};

using ConsoleCommandFn = int32_t(HRL_CONAPI*)(int32_t kind, int32_t a, intptr_t b);
using ConsoleQueryFn = int32_t(HRL_CONAPI*)(int32_t kind, int32_t a, intptr_t out);

// The library's three calls.
struct ConsoleLib {
  int32_t(HRL_CONAPI* registerConsole)(int32_t zero, ConsoleCommandFn command, ConsoleQueryFn query);
  void(HRL_CONAPI* notify)(int32_t kind, int32_t a, intptr_t b);
  void(HRL_CONAPI* unregisterConsole)();
};

// What the link reads and changes in the program.
class ConsoleHost {
 public:
  virtual ~ConsoleHost() = default;
  // Preconditions.
  virtual int MouseCaptured() = 0;
  virtual int ModalOpen() = 0;
  virtual int NinePinArmedToDrive() = 0;
  // State.
  virtual int TransportState() = 0;
  virtual uint32_t SampleRate() = 0;
  virtual uint32_t FrameRateCode() = 0;
  virtual uint32_t TimecodeOffset() = 0;
  virtual int32_t NowLoc() = 0;
  virtual int32_t ClockLoc() = 0;
  virtual int32_t LeftLoc() = 0;
  virtual int32_t RightLoc() = 0;
  virtual uint32_t PlayRecMode() = 0;
  virtual void SetPlayRecMode(uint32_t mode) = 0;
  virtual int32_t Zoom() = 0;
  virtual int RecState(int32_t track) = 0;  // track 1..192; 2 = armed
  // Markers 1..999.
  virtual int MarkerValid(int32_t n) = 0;
  virtual void Marker(int32_t n, ConsoleMarkerRec* out) = 0;
  virtual void MarkerEdit(int code, int32_t n, int32_t position) = 0;  // 0 add, 1 move
  virtual void UndoRecord(int create) = 0;  // the step "Create" (1) or "Move" (0)
  // Mixer structure.
  virtual int MixRebuilding() = 0;
  virtual int32_t MixStripCount() = 0;
  virtual int MixStrip(int32_t strip, ConsoleStripRec* out) = 0;
  virtual int MixElem(int32_t strip, int32_t elem, ConsoleElemRec* out) = 0;
  virtual int MixQuery(int32_t a, intptr_t out) = 0;
  // Knobs of an element (the element's number as the surface knows it).
  virtual int KnobShift(int32_t elem, int32_t knob) = 0;
  virtual int KnobValue(int32_t elem, int32_t knob, int32_t* value) = 0;
  virtual int SetKnob(int32_t elem, int32_t knob, int32_t value) = 0;  // the element's set-value call
  virtual void MxaSetKnobValue(int32_t elem, int32_t knob, int32_t value) = 0;
  virtual int ElemSet(int32_t elem, int32_t code, intptr_t b) = 0;
  // Actions.
  virtual void TransportCommand(int cmd) = 0;
  virtual void EnableAppWindows(int on) = 0;
  virtual void LocateNow(int32_t position) = 0;   // locates the units (stopped)
  virtual void SetNowView(int32_t position) = 0;  // moves the now position only
  virtual void SetLocator(int which, int32_t position) = 0;  // 2 left, 3 right
  virtual void ScrubStep(int32_t target) = 0;
  virtual void ScrubEnd() = 0;
  virtual void WindowMessage(int32_t a, intptr_t b) = 0;
  virtual void ToolButton(intptr_t b) = 0;
  virtual int ToolAtIndex(int32_t n) = 0;  // 99: none
  virtual void ToolSelect(int slot, int tool) = 0;
  virtual void SetRecReady(int32_t track, int state) = 0;  // Audio track 1..192
  virtual void SeamlessLoopChanged() = 0;  // units and MIDI loop, end location, menu check
  virtual void ModeBitChanged(uint32_t bit) = 0;  // menu check of mode bit 0x8 or 0x10
  virtual void ShowModeLamps() = 0;
  virtual uint32_t TimeMs() = 0;
};

void ConsoleBind(const ConsoleLib* lib, ConsoleHost* host);
// Registers the callbacks; 1 when the library linked (the state is then
// pushed to it), else 0.
int ConsoleLinkRegister();
void ConsoleLinkUnregister();
int ConsoleLinked();

// Notifications; nothing is sent while the link is off.
void ConsoleSendTransport(int state);
void ConsoleSendModes(uint32_t mode, uint32_t mask);
void ConsoleSendLocator(int which, int32_t position);  // 0 now, 2 left, 3 right
void ConsoleSendMarker(int32_t n);
void ConsoleSendRecReady(int32_t track);
void ConsoleSendSampleRate(uint32_t rate);
void ConsoleSendFrameRate(uint32_t code);
void ConsoleSendTimecodeOffset(uint32_t offset);
void ConsoleSendKnob(int32_t elem, int32_t knob, int32_t value);
// The arrange view's samples per pixel, after each horizontal zoom.
void ConsoleSendZoom(int32_t samplesPerPixel);

// The callbacks the library calls.
int32_t HRL_CONAPI ConsoleCommandProc(int32_t kind, int32_t a, intptr_t b);
int32_t HRL_CONAPI ConsoleQueryProc(int32_t kind, int32_t a, intptr_t out);

// The surface's motion and its timer steps.
int ConsoleMotionState();
int32_t ConsoleShuttleSpeed();
void ConsoleShuttleStep();
// The position a shuttle at `speed` reaches from `position` after `ms`.
int32_t ConsoleShuttleTarget(int32_t position, int32_t speed, uint32_t rate, uint32_t ms);
// Console encodings.
int32_t ConsoleFrameRateIndex(uint32_t code);  // -1 for codes outside the table
uint32_t ConsoleModeBits(uint32_t playRecMode);
