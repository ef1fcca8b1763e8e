// The automation front end: every automatable knob of every element is a
// knob of the automation library; knob movements, enable modes, the
// play/record cycle, automation Takes in memory, knob value texts and the
// automation record command with the transport stopped.
#pragma once

#include <cstdint>

#include "logs/qvMxAut/autlog.h"
#include "mixer/mix/mixdoc.h"

struct MixKnob {
  int32_t Index;
  MixElem* Elem;
  AutKnobHandle Handle;
  int32_t TrackIndex;     // index within its automation track
  int32_t EnableMode;     // 2, or 0 for "Solo" of an output element
  int32_t TrackOverride;  // 0 the column's track, else track + 1
  int32_t ValueShift;     // halvings that fit the range in 24 bits
  uint32_t HostId;        // the id the library calls back with
};

// One entry of an automation Take's knob table.
constexpr int kMxaKnobEntrySize = 256;
struct MxaKnobEntry {
  uint8_t Bytes[kMxaKnobEntrySize];
};
// Word offsets and text offsets within an entry.
enum : int {
  kMxaEntType = 2,        // element type id of the knob
  kMxaEntKnobId = 3,      // knob index within the element
  kMxaEntInstance = 4,    // n-th element of that type on the track
  kMxaEntNameAt = 20,     // knob name
  kMxaEntDisabled = 23,
  kMxaEntParamAt = 96,    // parameter name
  kMxaEntRawMin = 41,
  kMxaEntRawMax = 42,
  kMxaEntUnitAt = 176,    // unit text, 16 bytes
  kMxaEntDispMin = 48,
  kMxaEntDispMax = 49,
  kMxaEntDivisor = 50,
  kMxaEntScaleKind = 51,
};
int32_t MxaEntWord(const MxaKnobEntry& e, int word);
void MxaEntSetWord(MxaKnobEntry* e, int word, int32_t value);
void MxaEntSetText(MxaKnobEntry* e, int at, int size, const char* text);

// An automation Take in memory.
struct MxaTake {
  void* Owner;
  AutLogHandle Log;
  AutMapHandle RecMap;  // 0 = none
  uint32_t TakeId;
  uint32_t Zero;
  uint32_t Changed;
  int32_t KnobCount;
  int32_t RecMapValue;
  MxaKnobEntry* Knobs;
  MxaTake* Next;
};

int MxaInit();
int MxaStoreSettingValue(uint32_t value);
uint32_t MxaSetting();
void MxaSetRecordModeValue(uint32_t mode, uint32_t second);
void MxaStartPlayRec(int relocate);
void MxaStopPlayRec(int32_t position);
void MxaLocate(int32_t position);
void MxaSetNowLocValue(int32_t position);
int32_t MxaNowLoc();
int MxaKnobChanged();

int MxaCreateElemKnobs(MixElem* elem);
void MxaDeleteElemKnobs(MixElem* elem, int rebuild);
void MxaSetKnobEnable(MixKnob* knob);
void MxaApplyEnableAll(MixDoc* doc);
int MxaKnobAutomatable(const MixKnob* knob);
int MxaSetKnobValue(MixKnob* knob, int32_t value, uint32_t code);
// Class 0 all knobs, 1 those whose knob-info flag word is 0, 2 the others.
void MxaSendAllKnobs(MixDoc* doc, int cls, uint32_t code);
int MxaAssignKnobTrks(MixDoc* doc);
// The automation track of a knob (override - 1, or the column's track).
int32_t MxaKnobTrack(const MixKnob* knob);
// The knob the library calls back with that id; null when none.
MixKnob* MxaKnobById(uint32_t hostId);
// The library's knob-value callback: sets the element's knob.
void MxaKnobValueCallback(uint32_t hostId, int32_t value);

int32_t MxaTakeKnobCount(const MxaTake* take);
int32_t MxaTakeKnobId(const MxaTake* take, int i);
int32_t MxaTakeKnobEnabled(const MxaTake* take, int i);
void MxaTakeKnobName(const MxaTake* take, int i, char* buf, int size);
int32_t MxaTakeRecMapValue(MxaTake* take);
int MxaTakeKnobEventNear(const MxaTake* take, int previous, int i, int32_t scale, uint32_t* location,
                         int32_t* value);
void MxaTakeKnobScale(const MxaTake* take, int i, int32_t scale, int32_t* value);
int MxaKnobValueText(const MxaTake* take, int i, int32_t scale, int32_t value, MixDoc* doc, int32_t track,
                     char* buf, int size);
// Copies reuse *target when it is set, else allocate it; 0 after 195.
int MxaCopyTakeRange(MxaTake** target, const MxaTake* source, uint32_t start, uint32_t end, int32_t filter,
                     uint32_t reduceMs);
int MxaCopyTakeEdit(MxaTake** target, const MxaTake* source, uint32_t start, uint32_t end, int i,
                    int32_t deleteLocation, int32_t newLocation, int32_t value, int32_t scale);
// Appends a Take record to the list; frees one by its log handle.
void MxaTakeAppend(MxaTake* take);
int MxaFreeTakeRec(MxaTake* take);
MxaTake* MxaTakeByLog(AutLogHandle log);
MxaTake* MxaTakeList();

// Automation Take files. The Take's data is its knob table (knob count x
// 256 bytes) followed by its events (16 bytes each: key, location, value, 0);
// the Take's words give the event count (its length), the knob count and
// the record map value, and its in-memory word the log.
enum : uint32_t {
  kMxaAttrDataBytes = 12,
  kMxaAttrLength = 13,
  kMxaAttrKnobCount = 27,
  kMxaAttrMapValue = 28,
  kMxaAttrLog = 29,
};
constexpr uint32_t kMxaMaxTakeKnobs = 0x10000;
MxaTake* MxaTakeByOwner(const void* owner);
// The record of a Take, read from its file the first time; null when the
// file does not hold a whole automation log (or after 195).
MxaTake* MxaReadTake(void* owner);
// Writes the record's knob table and log into its Take; 1, or 0.
int MxaWriteTake(MxaTake* take);
// With write set, writes every changed Take, stopping at the first failure
// (0). Without it nothing is written: 1 when no Take has unwritten changes.
int MxaWriteChangedTakes(int write);
// The range copy between two Takes: the source read when needed, the
// target's record reused or made, and handed the target Take.
int MxaCopyTakeRangeOf(void* targetTake, void* sourceTake, uint32_t start, uint32_t end, int32_t filter,
                       uint32_t reduceMs);

// The play view lists and play knob maps of the automation library, built
// again from the host's Automation Parts against the document's knobs: one
// play list per automation track, one view and map per Part, map entry k
// the live knob that the Take's knob k drives. With the flag set the knobs
// then take the automation's values at the now position. 1, or 0 when the
// library refused a list, map or view.
int MxaRebuildPlayMaps(MixDoc* doc, int flag);

int MixAutomRecordCmd(MixDoc* doc);
int MxaRefreshAfterEditDoc(MixDoc* doc, int32_t position);
