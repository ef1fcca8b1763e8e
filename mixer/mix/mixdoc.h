// The mixer document: columns (strips) of element instances whose processing
// lives in the element modules, the routing codes that name a unit's
// signals, and the operations every other part of the mixer goes through.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/mix/elemmod.h"

struct MixColumn;
struct MixElem;
struct MixKnob;

// Element kinds as the mixer uses them.
enum MixElemKind : int32_t {
  kMixInput = 0,
  kMixEffect = 2,
  kMixSend = 3,
  kMixOutput = 4,
  kMixNatEffect = 5,
  kMixNatRec = 6,
};

constexpr int kMixMaxColumn = 126;
constexpr int kMixStripWidth = 90;
constexpr int kMixStripWidthSmall = 56;
constexpr int kMixMaxStripWidth = 4096;
constexpr int kMixNameSize = 64;
// An element must end this far above the column's content height.
constexpr int kMixBottomMargin = 21;
// The type that stands in for an element whose type no module offers.
constexpr uint32_t kMixDummyType = 1990;
// The name colours a column gets when none were stored.
constexpr uint32_t kMixDefaultNameText = 0x00FFFFFF;
constexpr uint32_t kMixDefaultNameBack = 0x00404040;

struct MixDoc {
  WndHandle Wnd;
  uint32_t Reserved;
  int32_t FramePos[2];
  int32_t EditLock;      // 0 edit mode on
  int32_t AutomEnable;
  int32_t DelayComp;
  int32_t PlayOffset;
  MixColumn* First;
  int32_t VisibleColumns;
  int32_t FirstVisible;
  int32_t WndHeight;
  int32_t VScroll;
  int32_t StripWidth;
  int32_t ContentHeight;
  uint32_t LastTempo;
  uint32_t LastMeter[2];
  MixElem* MeterHead;
  MixElem* RefreshHead;
  std::vector<uint8_t> Snapshot;  // count word, then every state blob
  int32_t HasSnapshot;
};

struct MixColumn {
  WndHandle Wnd;
  char Name[kMixNameSize];
  uint32_t Colors[2];  // name text, name background (0x00BBGGRR)
  int32_t Number;      // 0..126
  MixElem* First;
  MixElem* Last;
  MixColumn* Next;
  MixDoc* Doc;
};

struct MixElem {
  WndHandle Wnd;
  int32_t Blocked;
  int32_t YPos;
  uint32_t Type;
  int32_t Kind;
  int32_t Meter;
  int32_t Routing;   // -1 until routed
  int32_t Routing2;  // -1 until set
  int32_t Word1;     // caller words, stored in the file
  ElemRef* Ref;      // null for a dummy element
  int32_t KnobCount;
  MixKnob* Knobs;
  int32_t Word2;
  int32_t WndClosed;
  MixElem* Prev;
  MixElem* Next;
  MixColumn* Column;
  MixElem* MeterNext;
  MixElem* RefreshNext;
  int32_t Height;     // the type's little-window height
  int32_t DspNumber;  // 1-based DSP the element is placed on, 0 = first
  uint32_t StateSize; // the type's state size
  // A dummy element keeps the whole element record it was read from.
  std::vector<uint8_t>* DummyRecord;
  // Where the DSP allocation placed the element; null while it is not loaded.
  struct MixDspPlacement* Dsp;
};

// Routing codes: unit x 1096 + offset; the offset range gives the class.
constexpr int32_t kMixRoutingUnitSpan = 1096;
struct MixRouting {
  int32_t Unit;
  int32_t Class;  // 0-5, 7, 8
  int32_t Index;
};
MixRouting MixDecodeRouting(int32_t code);
// Code of (unit, class, index); class 0 and unknown classes give unit x 1096.
int32_t MixEncodeRouting(int32_t unit, int32_t cls, int32_t index);
// Older files: unit x 110 + offset.
MixRouting MixDecodeOldRouting(int32_t code);
// 1 when the index is valid for its class on that unit.
int MixRoutingValid(const MixRouting& r);

// The column pitch (strip width + 2) that every document change sets.
int MixColumnPitch();
void MixSetStripWidth(MixDoc* doc, int32_t width);

// A new document (no window here: the mixer windows are not part of it);
// null after message 195.
MixDoc* MixDocCreate(int withWindow);
void MixDocDestroy(MixDoc* doc);
// The bare root of a document being opened from a file: no allocation and
// no notifications yet.
MixDoc* MixDocAllocRoot();
// The DSP allocation, control surface and menu steps that finish a new or
// opened document.
void MixDocFinish(MixDoc* doc);

// Columns. Create: null after 288 (number taken or out of range) or 195.
MixColumn* MixColumnCreate(MixDoc* doc, int32_t number, const char* name, uint32_t textColor,
                           uint32_t backColor);
// Opens a gap at number by shifting the run of consecutive columns from it
// one to the right; 0 after 289 when the run would pass 126.
int MixColumnOpenGap(MixDoc* doc, int32_t number);
MixColumn* MixColumnFind(MixDoc* doc, int32_t number);
MixColumn* MixColumnAtX(MixDoc* doc, int32_t x);
void MixColumnDelete(MixDoc* doc, int32_t number);
int MixColumnCount(const MixDoc* doc);

// Elements.
MixElem* MixElemCreate(uint32_t type, MixColumn* column, int32_t ypos, int32_t blocked, int32_t word1,
                       int32_t word2);
// A dummy element holding a whole element record of the file (no module).
MixElem* MixElemCreateDummy(MixColumn* column, int32_t ypos, int32_t blocked, const uint8_t* record,
                            uint32_t length);
MixElem* MixElemAtY(MixColumn* column, int32_t y);
void MixElemUnlink(MixElem* elem);
void MixElemDelete(MixElem* elem);
// 1 when an element of that height fits at ypos in the column.
int MixElemFits(const MixColumn* column, int32_t ypos, int32_t height, const MixElem* ignore);
// The routing the element is processed with: EFFECT and NATEFF elements take
// the first element's of their column.
int32_t MixElemRouting(const MixElem* elem);

// Walks over the elements.
void MixDocSendTempo(MixDoc* doc, uint32_t tempoX100, const uint32_t meter[2]);
// Native recorder elements: their record state (set code 5: the record
// state + 1 when the track is ready, else 0; recTrack 0 = all), their track
// colours (the track's and, for a stereo element, the next track's).
void MixDocSendTrkRecReady(MixDoc* doc, int recTrack);
void MixDocSendTrkColors(MixDoc* doc);
// The program-wide record/monitor state sent with it. A state set with hold
// stays until a call with release; calls in between are ignored (0).
int MixSetTrkRecStateValue(int state, int hold, int release);
int MixTrkRecState();
// Greys (set code 17) the input, send and output elements whose routed unit
// or signal the units do not offer, and clears the others.
constexpr uint32_t kMixGreyColor = 0x00808080;
void MixDocGreyUnavailableIo(MixDoc* doc);
int MixElemIoAvailable(const MixElem* e);
int MixDocHasNatRecElem(MixDoc* doc);
// The name of the column whose recorder element records the track (1-based);
// "" when none.
void MixDocRecColumnName(MixDoc* doc, int recTrack, char* out, int size);
int MixDocStereoPartner(MixDoc* doc, int recTrack);
void MixSnapshotStates(MixDoc* doc);
void MixFreeSnapshot(MixDoc* doc);
int MixIsChanged(MixDoc* doc);
// The element's state length: what it answers to get code 10, else its
// type's state size; the record's length for a dummy element.
uint32_t MixElemStateLength(const MixElem* elem);

// The mixer's menu commands on a document: edit mode, automation enable
// (sent to every knob) and automatic delay compensation (the DSPs placed
// again); each sets the menu check marks.
void MixDocToggleEditMode(MixDoc* doc);
void MixDocToggleAutomEnable(MixDoc* doc);
void MixDocToggleDelayComp(MixDoc* doc);

// The program-wide mixer DSP state: 1 the last allocation held, 2 the DSP
// processing limit was reached.
int MixDspState();
void MixSetDspState(int state);
