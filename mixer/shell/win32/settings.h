// The settings the main frame's commands keep: radio groups holding the
// command id of their choice, the per-unit groups, on/off words shown by
// check marks and the numbers. The option restore reads them, the command
// dispatcher changes them and SaveMainSettings writes them.
#pragma once

#include <cstdint>

// A radio group of the main menu: its ids, the id chosen, and its ini key.
struct RadioGroup {
  uint32_t first;
  uint32_t last;
  int32_t value;
  uint32_t section;
  uint32_t key;
};

enum GroupIndex {
  kGrpRecResol, kGrpSyncIn, kGrpSrate, kGrpFrate, kGrpTimebar, kGrpWavAxis, kGrpSnap,
  kGrpMrkSort, kGrpVideoSize, kGrpScrubMode, kGrpProcRefATk, kGrpProcDelATk, kGrpProcRefCTk,
  kGrpProcDelCTk, kGrpProcRefMTk, kGrpProcDelMTk, kGrpOverlap, kGrpMultiOut, kGrp9PinMode,
  kGroupCount
};
extern RadioGroup RadioGroups[kGroupCount];
// The group an id belongs to; kGroupCount for none.
GroupIndex RadioGroupOf(uint32_t id);
int32_t RadioValue(GroupIndex group);

// Per-unit choices; unit n's ids are unit 1's + n x the stride.
struct UnitGroup {
  uint32_t first;  // unit 1's first id
  uint32_t count;  // ids per unit
  uint32_t stride;
  uint32_t key;    // unit 1's ini key; unit n's is key + n
  int32_t value[4];
};
enum { kUgClockOut, kUgIo96K, kUgMadi96K, kUgMadiMode, kUgMClk, kUnitGroupCount };
extern UnitGroup UnitGroups[kUnitGroupCount];
uint32_t UnitFirstId(const UnitGroup& group, int unit);
// The unit an id of a per-unit group belongs to, with its group; -1 for none.
int UnitGroupOf(uint32_t id, int* group);
// Per unit the sample-rate converters of the AES inputs, bit p = pair p.
extern int32_t IoAESInpSRC[4];

// On/off options shown by a check mark, in their ini order.
struct CheckOption {
  uint32_t key;
  int32_t defaultValue;
  uint32_t checkId;
  int32_t* value;
};
extern const CheckOption kCheckOptions[];
extern const int kCheckOptionCount;
// The check option of a command id, or null.
const CheckOption* CheckOptionOf(uint32_t checkId);

extern int32_t FastRedraw, FillWvForm, ShowNameInWave, ShowPartVol, FollowCloc,
    NvrFollowClocIfSolo, AutoGenWvFrmFiles, GlobalShiftMarkers, AutoCnvWAV, AutoCnvMID,
    CorbAutoRoute, DoAudTrkDelayComp, DoEntArrDelayComp, AutoSRConvert, ReplacePrtName,
    AppendLocalTimeStr, HierarchMixElemSel, ScrubWind;
extern int32_t MutedSoloAudOut, MutedSoloMidiOut, ProChStat, UseNumSpExt, StreamSmpBufSize;
extern int32_t AlignOutElemsWFader, AlignOutElemsWNoInp, RecBtnEnable;
// The bar count of the last tempo from the locators (not stored).
extern int32_t TempoBars;
// The typed record-ready track range (first, last), 0 when none typed.
extern int32_t RecReadyTyped[2];

// Remembered folders and files of section MainWnd, each absolute.
enum FolderIndex {
  kFolderArr, kFolderPC, kFolderWav, kFolderNgt, kFolderWvForm, kFolderVideo, kFolderSVO,
  kFolderMix, kFolderMidi, kFolderLog, kFolderCount
};
extern char Folders[kFolderCount][260];
extern const uint32_t kFolderKeys[kFolderCount];
extern const bool kFolderIsFile[kFolderCount];
