// The records and the host-service table shared by the program's external
// off-line module host and every external off-line module: the module and
// process information records, the process modes of the time module, and
// EOPHOSTFUNCS, the table of host services a module calls while it runs.
//
// Every service returns a 32-bit result: 0 done, a negative code a failure
// (EopHostErrorText gives its text). Handles are 32-bit words: a Part is its
// slot index + 1, a Take the Take store's reference (0 = none), so a module
// sees the same values at both widths. A `value` argument that carries an
// address for some items is a uintptr_t: the 32-bit word of the deliverable.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__i386__)
#define EOP_CALL __attribute__((stdcall))
#else
#define EOP_CALL
#endif

// Interface version a host keeps; record kinds.
inline constexpr uint32_t kEopInterfaceVersion = 102;
inline constexpr uint32_t kEopModInfoSize = 220;
inline constexpr uint32_t kEopPlugInInfoSize = 204;

struct EOPMODINFO {
  uint32_t Size;       // room the caller has; the copied length comes back
  uint32_t Revision;   // record kind / interface revision
  uint32_t Version;    // interface version: 102
  uint32_t ModVersion;
  char Name[64];
  char Maker[64];
  char Extra[64];
  uint32_t ProcessCount;
  uint32_t Reserved[2];
};
static_assert(sizeof(EOPMODINFO) == 220);
static_assert(offsetof(EOPMODINFO, Name) == 16);
static_assert(offsetof(EOPMODINFO, Maker) == 80);
static_assert(offsetof(EOPMODINFO, ProcessCount) == 208);

// Kinds of process: where the host lists it.
enum : uint32_t { kEopKindPopup = 0, kEopKindMainMenu = 1, kEopKindTool = 2 };
// Process ids the host knows.
enum : uint32_t {
  kEopIdReverse = 100,
  kEopIdTimeStretch = 200,
  kEopIdRateConvert = 201,
  kEopIdPitchShift = 202,
};

struct EOPPLUGININFO {
  uint32_t Size;
  uint32_t Kind;
  char Name[64];
  char Maker[64];
  char Extra[64];
  uint32_t ProcessId;
};
static_assert(sizeof(EOPPLUGININFO) == 204);
static_assert(offsetof(EOPPLUGININFO, Name) == 8);
static_assert(offsetof(EOPPLUGININFO, ProcessId) == 200);

// The time module's processes.
enum EopProcessMode : uint32_t {
  kEopTimeStretch = 0,
  kEopRateConvert = 1,
  kEopPitchShift = 2,
};

// Argument records of the services.
struct EopTrackLoc {
  int32_t Track;
  int32_t Position;
};
struct EopTakeLoc {
  uint32_t Take;
  int32_t Offset;
};
struct EopSectionOut {
  uint32_t Part;
  int32_t Offset;
  int32_t Length;
};
// Time-code start of project information code 1 and Take item 7.
struct EopTimeCode {
  uint8_t Hours;
  uint8_t Minutes;
  uint8_t Seconds;
  uint8_t Frames;
  uint16_t SubFrames;
  uint16_t FrameType;  // 0 24, 1 25, 2 29.97, 3 29.97 drop-frame, 4 30, 5 30 drop-frame
};
static_assert(sizeof(EopTimeCode) == 8);
// One entry of an audition list (slot 13).
struct EopPlayEntry {
  uint32_t Take;  // 0 = silence
  int32_t Offset;
  int32_t Length;
  int32_t Track;  // audio track 0..191
  int32_t Zero;
};
static_assert(sizeof(EopPlayEntry) == 20);

// Result codes.
enum : int32_t {
  kEopOk = 0,
  kEopNoMemory = -1,
  kEopBadHandle = -2,
  kEopUnknownCode = -3,
  kEopBadParam = -4,
  kEopBadName = -5,
  kEopOutOfRange = -7,
  kEopBadTake = -8,
  kEopTimelocked = -9,
  kEopNotLinked = -10,
  kEopTooManyParts = -11,
  kEopDiskFull = -13,
  kEopNoFolder = -14,
  kEopPlaying = -15,
  kEopAudioOnly = -16,
  kEopMarkerExists = -17,
  kEopMarkerFailed = -18,
  kEopLayerTaken = -19,
  kEopNoXfade = -20,
  kEopUnspecified = -10000,
};

using EopGetInfoFn = int32_t EOP_CALL (*)(uint32_t code, void* out);
using EopPartAtLocFn = int32_t EOP_CALL (*)(const EopTrackLoc* loc, uint32_t mode, uint32_t* part);
using EopNxtPartFn = int32_t EOP_CALL (*)(uint32_t part, uint32_t mode, uint32_t* next);
using EopGetPartInfoFn = int32_t EOP_CALL (*)(uint32_t part, uint32_t item, void* out);
using EopSetPartInfoFn = int32_t EOP_CALL (*)(uint32_t part, uint32_t item, uintptr_t value);
using EopCreatePartsFn = int32_t EOP_CALL (*)(int32_t length, const EopTrackLoc* at,
                                              const EopTakeLoc* take, uint32_t templ,
                                              uint32_t* part);
using EopDeletePartFn = int32_t EOP_CALL (*)(uint32_t part);
using EopGetTakeInfoFn = int32_t EOP_CALL (*)(uint32_t take, uint32_t item, void* out);
using EopSetTakeInfoFn = int32_t EOP_CALL (*)(uint32_t take, uint32_t item, uintptr_t value);
using EopCreateTakeFn = int32_t EOP_CALL (*)(uint32_t zero1, uint32_t zero2, uint32_t bits,
                                             uint32_t length, uint32_t templ, uint32_t* take);
using EopDeleteTakeFn = int32_t EOP_CALL (*)(uint32_t take);
using EopTakeIoFn = int32_t EOP_CALL (*)(uint32_t take, uint32_t offset, uint32_t count,
                                         void* buffer);
using EopPlayTakesFn = int32_t EOP_CALL (*)(uint32_t count, const EopPlayEntry* list);
using EopPlayPosFn = int32_t EOP_CALL (*)(int32_t* position, uint32_t stop);
using EopErrorTextFn = int32_t EOP_CALL (*)(int32_t code, char* buffer, uint32_t size);
using EopReservedFn = int32_t EOP_CALL (*)();
using EopSetProjectTimeFn = int32_t EOP_CALL (*)(uint32_t code, uintptr_t value);
using EopMrkFromLocFn = int32_t EOP_CALL (*)(int32_t position, uint32_t* number);
using EopMrkNxtFn = int32_t EOP_CALL (*)(uint32_t number, uint32_t* next);
using EopMrkGetFn = int32_t EOP_CALL (*)(uint32_t number, uint32_t item, void* out);
using EopMrkSetFn = int32_t EOP_CALL (*)(uint32_t number, uint32_t item, uintptr_t value);
using EopMrkAddFn = int32_t EOP_CALL (*)(uint32_t number, int32_t position, uint32_t* out);
using EopMrkDeleteFn = int32_t EOP_CALL (*)(uint32_t number);
using EopFirstTakeFn = int32_t EOP_CALL (*)(uint32_t zero1, uint32_t zero2, uint32_t filter,
                                            uint32_t* take);
using EopNxtTakeFn = int32_t EOP_CALL (*)(uint32_t take, uint32_t filter, uint32_t* next);
using EopVisibleSectionFn = int32_t EOP_CALL (*)(const EopTrackLoc* loc, EopSectionOut* out);
using EopPartSectionFn = int32_t EOP_CALL (*)(EopSectionOut* inOut);

struct EOPHOSTFUNCS {
  uint32_t Size;  // sizeof(EOPHOSTFUNCS): 116 in the 32-bit program
  EopGetInfoFn GetInfo;                  // 0
  EopPartAtLocFn PartAtLoc;              // 1
  EopNxtPartFn NxtPart;                  // 2
  EopGetPartInfoFn GetPartInfo;          // 3
  EopSetPartInfoFn SetPartInfo;          // 4
  EopCreatePartsFn CreateParts;          // 5
  EopDeletePartFn DeletePart;            // 6
  EopGetTakeInfoFn GetTakeInfo;          // 7
  EopSetTakeInfoFn SetTakeInfo;          // 8
  EopCreateTakeFn CreateTake;            // 9
  EopDeleteTakeFn DeleteTake;            // 10
  EopTakeIoFn ReadTake;                  // 11
  EopTakeIoFn WriteTake;                 // 12
  EopPlayTakesFn PlayTakes;              // 13
  EopPlayPosFn PlayPos;                  // 14
  EopErrorTextFn ErrorText;              // 15
  EopReservedFn Reserved16;              // 16
  EopSetProjectTimeFn SetProjectTime;    // 17
  EopMrkFromLocFn MrkFromLoc;            // 18
  EopMrkNxtFn MrkNxt;                    // 19
  EopMrkGetFn MrkGet;                    // 20
  EopMrkSetFn MrkSet;                    // 21
  EopMrkAddFn MrkAdd;                    // 22
  EopMrkDeleteFn MrkDelete;              // 23
  EopFirstTakeFn FirstTake;              // 24
  EopNxtTakeFn NxtTake;                  // 25
  EopVisibleSectionFn VisibleSection;    // 26
  EopPartSectionFn PartSection;          // 27
};
inline constexpr int kEopHostSlots = 28;
static_assert(sizeof(EOPHOSTFUNCS) == sizeof(void*) * (kEopHostSlots + 1));
static_assert(sizeof(void*) != 4 || sizeof(EOPHOSTFUNCS) == 116);

// Entry points of a module, as the host binds them.
using EopGetModuleInfoFn = int32_t EOP_CALL (*)(EOPMODINFO* info);
using EopGetPlugInInfoFn = int32_t EOP_CALL (*)(uint32_t index, EOPPLUGININFO* info);
using EopProcessFn = int32_t EOP_CALL (*)(uint32_t index, uintptr_t window, uint32_t flag,
                                          const EOPHOSTFUNCS* host);
