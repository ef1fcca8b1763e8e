// The mixer element interface: the records that cross between a host (the
// mixer, the mixer graph) and an element module, the request codes, the two
// host callbacks and the ten entry points. Every record here is shared with
// modules built elsewhere, so its layout is fixed and asserted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mixer/model/util/wndhandle.h"

// The entry points and both callbacks use the standard Windows calling
// convention (callee pops). Only the 32-bit Windows build has a separate
// convention; elsewhere the default one is used on both sides.
#if defined(_WIN32) && defined(__i386__)
#define ELEMAPI __attribute__((stdcall))
#else
#define ELEMAPI
#endif

// An element as the module hands it out; opaque to the host.
using ElemHandle = void*;

// A point in a window's client coordinates, laid out as the system's POINT.
struct ElemPoint {
  int32_t x;
  int32_t y;
};
static_assert(sizeof(ElemPoint) == 8);

constexpr uint32_t kElemModInfoSize = 216;
constexpr uint32_t kElemModInfoKind = 3;
constexpr uint32_t kElemTypePropSize = 324;
constexpr uint32_t kElemKnobPropSize = 120;
// Interface versions a host accepts; modules of this system report 103.
constexpr uint32_t kElemIfVersionOld = 102;
constexpr uint32_t kElemIfVersion = 103;
// Text fields of the records hold at most 63 characters and a NUL.
constexpr int kElemTextSize = 64;
constexpr int kElemKnobNameSize = 32;
constexpr int kElemUnitSize = 16;
// Memory areas an element may use on its DSP.
constexpr int kElemAreaCount = 6;

struct ELEMMODINFO {
  uint32_t Size;      // preset by the host, 216
  uint32_t Kind;      // 3
  uint32_t Version;   // 103 (102 is still accepted)
  char Name[kElemTextSize];
  char Maker[kElemTextSize];
  char Spare[kElemTextSize];  // empty
  uint32_t TypeCount;  // types offered: _QVGetElemType@4 is asked for 0 .. TypeCount - 1
  uint32_t Reserved[2];
};
static_assert(sizeof(ELEMMODINFO) == 216);
static_assert(offsetof(ELEMMODINFO, Kind) == 4);
static_assert(offsetof(ELEMMODINFO, Version) == 8);
static_assert(offsetof(ELEMMODINFO, Name) == 12);
static_assert(offsetof(ELEMMODINFO, Maker) == 76);
static_assert(offsetof(ELEMMODINFO, Spare) == 140);
static_assert(offsetof(ELEMMODINFO, TypeCount) == 204);
static_assert(offsetof(ELEMMODINFO, Reserved) == 208);

// Element kinds; modules may add their own (6, the native track element).
enum ElemKind : uint32_t {
  kElemKindInput = 0,
  kElemKindTrack = 1,
  kElemKindInsert = 2,
  kElemKindSend = 3,
  kElemKindOutput = 4,
};

// Types of the DSP memory areas. 0 and 1 are the two kinds of data memory;
// an area of type 5 has two banks, the second addressed from 0x20000.
enum ElemAreaType : uint32_t {
  kAreaData0 = 0,
  kAreaData1 = 1,
  kAreaProgram = 2,
  kAreaSample = 3,
  kAreaTwoBank = 5,
};
constexpr uint32_t kElemSecondBank = 0x20000;

// Flag bit of ELEMTYPEPROPINFO: the type shows peak meters.
constexpr uint32_t kElemFlagPeakMeters = 1;

struct ELEMTYPEPROPINFO {
  uint32_t Size;  // 324
  uint32_t Kind;  // ElemKind
  char Name[kElemTextSize];  // "EQ 2-Band\t(Stereo)": name, tab, channel format
  char Maker[kElemTextSize];
  char Spare[kElemTextSize];
  uint32_t LittleHeight;  // pixels; 0 = the type has no window
  uint32_t Flags;
  uint32_t StateSize;  // bytes of the ELEMSTATE, length word included
  uint32_t KnobCount;
  uint32_t Inputs;
  uint32_t Outputs;
  uint32_t AreaType[kElemAreaCount];
  uint32_t AreaWord;  // 2 in the modules of this system
  uint32_t AreaSize[kElemAreaCount];  // words; 0 = unused or sized by the host
  uint32_t Zero1;
  uint32_t AreaFigure[kElemAreaCount];  // read by the host's DSP allocator
  uint32_t Zero2;
  uint32_t Load;  // DSP cost of one instance
  uint32_t Zero3[3];
};
static_assert(sizeof(ELEMTYPEPROPINFO) == 324);
static_assert(offsetof(ELEMTYPEPROPINFO, Kind) == 4);
static_assert(offsetof(ELEMTYPEPROPINFO, Name) == 8);
static_assert(offsetof(ELEMTYPEPROPINFO, Maker) == 72);
static_assert(offsetof(ELEMTYPEPROPINFO, Spare) == 136);
static_assert(offsetof(ELEMTYPEPROPINFO, LittleHeight) == 200);
static_assert(offsetof(ELEMTYPEPROPINFO, Flags) == 204);
static_assert(offsetof(ELEMTYPEPROPINFO, StateSize) == 208);
static_assert(offsetof(ELEMTYPEPROPINFO, KnobCount) == 212);
static_assert(offsetof(ELEMTYPEPROPINFO, Inputs) == 216);
static_assert(offsetof(ELEMTYPEPROPINFO, Outputs) == 220);
static_assert(offsetof(ELEMTYPEPROPINFO, AreaType) == 224);
static_assert(offsetof(ELEMTYPEPROPINFO, AreaWord) == 248);
static_assert(offsetof(ELEMTYPEPROPINFO, AreaSize) == 252);
static_assert(offsetof(ELEMTYPEPROPINFO, Zero1) == 276);
static_assert(offsetof(ELEMTYPEPROPINFO, AreaFigure) == 280);
static_assert(offsetof(ELEMTYPEPROPINFO, Zero2) == 304);
static_assert(offsetof(ELEMTYPEPROPINFO, Load) == 308);
static_assert(offsetof(ELEMTYPEPROPINFO, Zero3) == 312);

enum ElemKnobKind : uint32_t { kKnobContinuous = 0, kKnobSwitch = 1, kKnobSelector = 2 };
// How a knob's raw value maps to its display value.
enum ElemKnobLaw : uint32_t {
  kLawLinear = 0,
  kLawLog = 1,
  kLawFader = 2,  // raw is linear gain, 32768 = 0 dB; display in tenths of dB
};

struct ELEMKNOBPROPINFO {
  uint32_t Size;  // 120
  uint32_t Kind;  // ElemKnobKind
  char Name[kElemKnobNameSize];
  char Spare[kElemKnobNameSize];
  uint32_t ReadOnly;  // 1: a meter, read by the host and never set
  int32_t RawMin;
  int32_t RawMax;
  uint32_t Meter;
  char Unit[kElemUnitSize];
  int32_t DisplayMin;
  int32_t DisplayMax;
  int32_t DisplayDivisor;  // shown number = display value / divisor
  uint32_t Law;            // ElemKnobLaw
};
static_assert(sizeof(ELEMKNOBPROPINFO) == 120);
static_assert(offsetof(ELEMKNOBPROPINFO, Kind) == 4);
static_assert(offsetof(ELEMKNOBPROPINFO, Name) == 8);
static_assert(offsetof(ELEMKNOBPROPINFO, Spare) == 40);
static_assert(offsetof(ELEMKNOBPROPINFO, ReadOnly) == 72);
static_assert(offsetof(ELEMKNOBPROPINFO, RawMin) == 76);
static_assert(offsetof(ELEMKNOBPROPINFO, RawMax) == 80);
static_assert(offsetof(ELEMKNOBPROPINFO, Meter) == 84);
static_assert(offsetof(ELEMKNOBPROPINFO, Unit) == 88);
static_assert(offsetof(ELEMKNOBPROPINFO, DisplayMin) == 104);
static_assert(offsetof(ELEMKNOBPROPINFO, DisplayMax) == 108);
static_assert(offsetof(ELEMKNOBPROPINFO, DisplayDivisor) == 112);
static_assert(offsetof(ELEMKNOBPROPINFO, Law) == 116);

// The head of every element's persistent state; the element's own fields
// follow. Length counts this word too and equals the type's state size.
struct ELEMSTATE {
  uint32_t Length;
};
static_assert(sizeof(ELEMSTATE) == 4);

struct ELEMKNOBVALUE {
  uint32_t Index;
  int32_t Value;  // raw
};
static_assert(sizeof(ELEMKNOBVALUE) == 8);
static_assert(offsetof(ELEMKNOBVALUE, Value) == 4);

// Get code 9: a knob's value as display text with its unit.
struct ELEMKNOBTEXT {
  uint32_t Index;
  char Text[kElemTextSize];
};
static_assert(sizeof(ELEMKNOBTEXT) == 68);

// DSP operations of ElemDspCallback as the element modules use them.
enum ElemDspOp : uint32_t {
  kDspWrite = 5,         // count words at offset
  kDspWriteRunning = 15, // the same while the element runs
  kDspRead = 25,
  kDspReadMeter = 30,    // refused for a program area
  kDspReadAlt = 35,
  kDspClear = 40,        // count words from offset; words is null
  kDspProgram = 45,      // download count program words; program areas only
};

// Results of ElemDspCallback.
enum : int32_t { kDspOk = 0, kDspNoResource = -1, kDspFailed = -2 };

// The host's DSP access. dspHandle is what the host gave _QVLoadElement@12;
// words hold count 24-bit DSP words, one per u32 (written from the low 24
// bits, read back sign-extended).
using ElemDspCallback = int32_t(ELEMAPI*)(void* dspHandle, uint32_t op, uint32_t memIndex,
                                          uint32_t offset, uint32_t count, uint32_t* words);

enum ElemNotifyCode : uint32_t {
  kNotifySolo = 0,         // 0 off, 1 solo, 3 exclusive; answered with set code 3
  kNotifyRecArm = 1,       // answered with set code 5
  kNotifyKnob = 2,         // value: ELEMKNOBVALUE*
  kNotifyBigWindow = 3,    // 1 closed, 0 open
  kNotifyVolume = 4,       // raw volume of an output element
  kNotifyMute = 5,
  kNotifySoloMuted = 6,    // muted by another element's solo
  kNotifyTouch = 7,        // 1 begin, 0 end of a gesture
  kNotifySoloGroup = 8,
  kNotifyFaderGroup = 9,
};

// The host's notification entry; hostContext is what the host gave
// _QVCreateElement@8. value is a number or, for code 2, a pointer.
using ElemNotifyCallback = int32_t(ELEMAPI*)(void* hostContext, uint32_t code, uintptr_t value);

enum ElemSetCode : uint32_t {
  kSetName = 0,           // char*, at most 63 characters kept
  kSetBlocked = 1,
  kSetSampleRate = 2,     // Hz
  kSetSolo = 3,           // 0 off, 1 soloed, 2 muted by another solo, 3 exclusive
  kSetTrackColors = 4,    // u32[2]*
  kSetRecord = 5,         // 0 off, 1 armed, 3 armed and recording
  kSetState = 6,          // ELEMSTATE*
  kSetKnob = 7,           // ELEMKNOBVALUE*
  kSetBigWindow = 8,      // 0 open, 1 close
  kSetRefresh = 9,
  kSetPosition = 10,      // u32[2]*: column, element (zero-based)
  kSetColumnVolume = 11,
  kSetColumnMute = 12,
  kSetColumnSoloMuted = 13,
  kSetGroupVolume = 14,
  kSetGroupMute = 15,
  kSetKnobColor = 16,     // ELEMKNOBVALUE*: knob index, COLORREF
  kSetGreyed = 17,
  kSetNativeLink = 18,
  kSetTempo = 19,         // tempo x 100
  kSetStateLength = 20,
  kSetLatency = 21,
  kSetMeter = 23,         // pointer to the time signature
};

enum ElemGetCode : uint32_t {
  kGetSolo = 0,
  kGetRecord = 1,
  kGetState = 2,         // buffer of at least the state size
  kGetKnob = 3,          // ELEMKNOBVALUE*: index in, value out
  kGetBigClosed = 4,
  kGetVolume = 5,
  kGetMute = 6,
  kGetSoloGroup = 7,
  kGetFaderGroup = 8,
  kGetKnobText = 9,      // ELEMKNOBTEXT*
  kGetStateLength = 10,
};

// Message an element module sends its little window to read the meters and
// repaint (set code 9).
constexpr uint32_t WMU_ELEM_REFRESH = 3224;

// What the mixer hands _QVLoadElement@12 as the placement: only the
// delay-compensation types read it.
struct ElemPlacementRecord {
  uint32_t HostWords[2];  // the host's own
  uint32_t SampleBase;    // base address of the element's sample memory
};
static_assert(offsetof(ElemPlacementRecord, SampleBase) == 8);

// The ten entry points, exported as "_QVInitElemModule@12" and so on (the
// names in the comments); the module Parts call them without decoration.
extern "C" {
using QVInitElemModuleFn = uint32_t(ELEMAPI*)(ElemDspCallback, ElemNotifyCallback, ELEMMODINFO*);  // _QVInitElemModule@12
using QVGetElemTypeFn = uint32_t(ELEMAPI*)(uint32_t index);  // _QVGetElemType@4
using QVGetElemTypePropertiesFn = uint32_t(ELEMAPI*)(uint32_t typeCode, ELEMTYPEPROPINFO*);  // _QVGetElemTypeProperties@8
using QVGetElemTypeKnobPropertiesFn = uint32_t(ELEMAPI*)(uint32_t typeCode, uint32_t knobIndex,
                                                          ELEMKNOBPROPINFO*);  // _QVGetElemTypeKnobProperties@12
using QVCreateElementFn = ElemHandle(ELEMAPI*)(uint32_t typeCode, void* hostContext);  // _QVCreateElement@8
using QVCreateElementWindowsFn = WndHandle(ELEMAPI*)(ElemHandle, WndHandle parent, ElemPoint* position,
                                                     int32_t width);  // _QVCreateElementWindows@16
using QVLoadElementFn = uint32_t(ELEMAPI*)(ElemHandle, void* dspHandle, void* placement);  // _QVLoadElement@12
using QVSetElementFn = uint32_t(ELEMAPI*)(ElemHandle, uint32_t code, uintptr_t value);  // _QVSetElement@12
using QVGetElementFn = uint32_t(ELEMAPI*)(ElemHandle, uint32_t code, void* inOut);  // _QVGetElement@12
using QVDeleteElementFn = uint32_t(ELEMAPI*)(ElemHandle);  // _QVDeleteElement@4
}

// The exported names, in the order of the table above.
constexpr int kElemExportCount = 10;
extern const char* const kElemExportNames[kElemExportCount];
