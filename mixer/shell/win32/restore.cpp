// The options of the main ini file and the least of the command dispatcher
// that restoring them needs: radio groups whose stored value is the command
// id of the chosen item, on/off options shown by check marks.
#include <windows.h>

#include <cstring>

#include "mixer/model/ini.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/undo.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/files.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/unitopts.h"
#include "mixer/shell/win32/mainwnd.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

// A radio group of the main menu and the command id of its choice.
struct RadioGroup {
  uint32_t first;
  uint32_t last;
  int32_t value;
};

enum GroupIndex {
  kGrpRecResol, kGrpSyncIn, kGrpSrate, kGrpFrate, kGrpTimebar, kGrpWavAxis, kGrpSnap,
  kGrpMrkSort, kGrpVideoSize, kGrpScrubMode, kGrpProcRefATk, kGrpProcDelATk, kGrpProcRefCTk,
  kGrpProcDelCTk, kGrpProcRefMTk, kGrpProcDelMTk, kGrpOverlap, kGrpMultiOut, kGrp9PinMode,
  kGroupCount
};

RadioGroup groups[kGroupCount] = {
    {40355, 40356, 40356}, {40501, 40505, 40501}, {41580, 41590, 41583}, {41601, 41606, 41602},
    {40518, 40519, 40519}, {40723, 40724, 40724}, {40520, 40538, 40535}, {40729, 40731, 40729},
    {40736, 40740, 40736}, {40874, 40875, 40874}, {40880, 40882, 40882}, {40883, 40885, 40885},
    {40886, 40888, 40887}, {40889, 40891, 40889}, {43300, 43302, 43301}, {43303, 43305, 43303},
    {40892, 40893, 40892}, {40896, 40897, 40896}, {40900, 40904, 40900},
};

// Global options restored as the command of their choice, in their order.
struct CommandOption {
  uint32_t section;
  uint32_t key;
  GroupIndex group;
};
const CommandOption kCommandOptions[] = {
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SRATE_SELECTOR, kGrpSrate},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_FRATE_SELECTOR, kGrpFrate},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_TIMEBAR, kGrpTimebar},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_WAV_AXIS, kGrpWavAxis},
};
const CommandOption kLaterCommandOptions[] = {
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SNAP, kGrpSnap},
};
const CommandOption kWindowCommandOptions[] = {
    {IDS_INI_SEC_MRK_DIR_WND, IDS_INI_KEY_SORT, kGrpMrkSort},
};
const CommandOption kEditCommandOptions[] = {
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SCRUB_MODE, kGrpScrubMode},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_REF_ATK, kGrpProcRefATk},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_DEL_UN_REF_ATK, kGrpProcDelATk},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_REF_CTK, kGrpProcRefCTk},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_DEL_UN_REF_CTK, kGrpProcDelCTk},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_REF_MTK, kGrpProcRefMTk},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PROC_DEL_UN_REF_MTK, kGrpProcDelMTk},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_EDIT_OVERLAP_MODE, kGrpOverlap},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_EDIT_MULTI_OUT_MODE, kGrpMultiOut},
    {IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_S9_PIN_MODE, kGrp9PinMode},
};

// On/off options shown by a check mark.
int32_t FastRedraw, FillWvForm, ShowNameInWave, ShowPartVol, Deglitch, FollowCloc,
    NvrFollowClocIfSolo, AutoGenWvFrmFiles, GlobalShiftMarkers, AutoCnvWAV, AutoCnvMID,
    CorbAutoRoute, DoAudTrkDelayComp, DoEntArrDelayComp, DetMixElemChanges, AutoSRConvert,
    ReplacePrtName, AppendLocalTimeStr, HierarchMixElemSel, AdoptVtrkOutput, ScrubWind;

struct CheckOption {
  uint32_t key;
  int32_t defaultValue;
  uint32_t checkId;
  int32_t* value;
};
const CheckOption kCheckOptions[] = {
    {IDS_INI_KEY_FAST_REDRAW, 1, 41802, &FastRedraw},
    {IDS_INI_KEY_FILL_WV_FORM, 1, 41803, &FillWvForm},
    {IDS_INI_KEY_SHOW_NAME_IN_WAVE, 1, 41804, &ShowNameInWave},
    {IDS_INI_KEY_SHOW_PART_VOL, 1, 41805, &ShowPartVol},
    {IDS_INI_KEY_DEGLITCH, 1, 41807, &Deglitch},
    {IDS_INI_KEY_FOLLOW_CLOC, 1, 41809, &FollowCloc},
    {IDS_INI_KEY_NVR_FOLLOW_CLOC_IF_SOLO, 1, 41810, &NvrFollowClocIfSolo},
    {IDS_INI_KEY_AUTO_GEN_WV_FRM_FILES, 1, 41811, &AutoGenWvFrmFiles},
    {IDS_INI_KEY_KEEP_WV_FRM_FILES, 1, 41812, &KeepWvFrmFiles},
    {IDS_INI_KEY_GLOBAL_SHIFT_MARKERS, 1, 41815, &GlobalShiftMarkers},
    {IDS_INI_KEY_AUTO_CNV_WAV, 1, 41816, &AutoCnvWAV},
    {IDS_INI_KEY_AUTO_CNV_MID, 1, 41817, &AutoCnvMID},
    {IDS_INI_KEY_CORB_AUTO_ROUTE, 1, 41823, &CorbAutoRoute},
    {IDS_INI_KEY_DO_AUD_TRK_DELAY_COMP, 1, 41824, &DoAudTrkDelayComp},
    {IDS_INI_KEY_DO_ENT_ARR_DELAY_COMP, 1, 41825, &DoEntArrDelayComp},
    {IDS_INI_KEY_DET_MIX_ELEM_CHANGES, 1, 41831, &DetMixElemChanges},
    {IDS_INI_KEY_AUTO_SCROLL_ARR_WND, 0, 41801, &AutoScrollArrWnd},
    {IDS_INI_KEY_KEEP_SEL, 0, 41808, &KeepSel},
    {IDS_INI_KEY_PLAY_TILL_NXT_MRK, 0, 41813, &PlayTillNxtMrk},
    {IDS_INI_KEY_AUTO_SRCONVERT, 0, 41818, &AutoSRConvert},
    {IDS_INI_KEY_REPLACE_PRT_NAME, 0, 41819, &ReplacePrtName},
    {IDS_INI_KEY_IGNORE_EXT_SRATE, 0, 41820, &IgnoreExtSRate},
    {IDS_INI_KEY_APPEND_LOCAL_TIME_STR, 0, 41821, &AppendLocalTimeStr},
    {IDS_INI_KEY_HIERARCH_MIX_ELEM_SEL, 0, 41829, &HierarchMixElemSel},
    {IDS_INI_KEY_ALL_KEY_INP_TO_MIX_ELEM, 0, 41830, &AllKeyInpToMixElem},
    {IDS_INI_KEY_ADOPT_VTRK_OUTPUT, 0, 41832, &AdoptVtrkOutput},
    {IDS_INI_KEY_WIND_FAST, 0, 41835, &WindFast},
    {IDS_INI_KEY_SCRUB_WIND, 0, 41836, &ScrubWind},
};

int32_t SyncOut, MutedSoloAudOut = 1, MutedSoloMidiOut = 1, ProChStat, UseNumSpExt,
    StreamSmpBufSize = 128;
int32_t ToolSlots[4] = {20, 0, 19, 1};  // mouse slots 0..3

// Remembered folders and files, each absolute.
char folders[10][MAX_PATH];
const uint32_t kFolderKeys[10] = {
    IDS_INI_KEY_ARR_FILE_PATH,   IDS_INI_KEY_PCFILE_PATH,    IDS_INI_KEY_WAV_FILE_PATH,
    IDS_INI_KEY_NGT_FILE_PATH,   IDS_INI_KEY_WV_FORM_FILE_PATH, IDS_INI_KEY_VIDEO_FILE_PATH,
    IDS_INI_KEY_SVOFILE_PATH,    IDS_INI_KEY_MIX_FILE_PATH,  IDS_INI_KEY_MIDI_FILE_PATH,
    IDS_INI_KEY_LOG_FILE_PATH,
};
constexpr bool kFolderIsFile[10] = {true, false, false, true, false,
                                    false, false, true, false, false};
enum { kFolderWvForm = 4 };

const char* Ini() { return Shell().iniPath; }

int32_t ReadMain(uint32_t key, int32_t def, int32_t lo, int32_t hi) {
  return ReadIniInt(Ini(), IDS_INI_SEC_MAIN_WND, key, def, lo, hi);
}

// The console link is asked for only where COM came up apartment-threaded
// through CoInitializeEx; the option holds whether the link succeeded.
void RestoreConsole() {
  ConsoleEnable = 0;
  if (Shell().comEx && ReadMain(IDS_INI_KEY_CONSOLE_ENABLE, 0, 0, 1))
    ConsoleEnable = ConsoleRegister() ? 1 : 0;
  MainMenuCheck(41814, ConsoleEnable);
}

void Command(HWND wnd, int32_t id) { SendMessageA(wnd, WM_COMMAND, static_cast<WPARAM>(id), 0); }

void RestoreCommands(HWND wnd, const CommandOption* options, int count) {
  for (int i = 0; i < count; ++i) {
    const RadioGroup& g = groups[options[i].group];
    Command(wnd, ReadIniInt(Ini(), options[i].section, options[i].key, g.value,
                            static_cast<int32_t>(g.first), static_cast<int32_t>(g.last)));
  }
}

int32_t ReadCheck(uint32_t section, uint32_t key, int32_t def, uint32_t checkId) {
  int32_t v = ReadIniInt(Ini(), section, key, def, 0, 1);
  MainMenuCheck(checkId, v);
  return v;
}

void RestoreSync(HWND wnd) {
  if (UnitHasSyncBoard(0)) {
    VSyncedMClk = ReadMain(IDS_INI_KEY_VSYNCED_MCLK, 0, 0, 1);
    if (VSyncedMClk) Command(wnd, 40490);
  }
  SyncInTrigOnly = ReadMain(IDS_INI_KEY_SYNC_IN_TRIG_ONLY, 0, 0, 1);
  if (GetMClkUnit(0) != 40408 || VSyncedMClk) SyncInTrigOnly = 1;
  Command(wnd, SyncInTrigOnly ? 40511 : 40512);
  Command(wnd, ReadMain(IDS_INI_KEY_SYNC_IN, 40501, 40501, UnitHasSyncBoard(0) ? 40505 : 40502));
  SyncOut = ReadMain(IDS_INI_KEY_SYNC_OUT, 0, 0, 255) & (UnitHasSyncBoard(0) ? 0xF : 0x3);
  for (uint32_t k = 0; k < 4; ++k) MainMenuCheck(40506 + k, (SyncOut >> k) & 1);
  SyncInAutoPlayStop = ReadMain(IDS_INI_KEY_SYNC_IN_AUTO_PLAY_STOP, 0, 0, 1);
  SlvMtcPrepDurat = ReadMain(IDS_INI_KEY_SLV_MTC_PREP_DURAT, 2500, 100, 4000);
}

void RestoreWindows(HWND wnd) {
  RestoreCommands(wnd, kWindowCommandOptions, 1);
  AlwaysOnTop[0] = ReadCheck(IDS_INI_SEC_BIG_CLOC_WND, IDS_INI_KEY_ALWAYS_ON_TOP, 1, 41839);
  Command(wnd, ReadIniInt(Ini(), IDS_INI_SEC_VIDEO_WND, IDS_INI_KEY_VIDEO_DISP_SIZE, 40736, 40736,
                          40740));
  AlwaysOnTop[1] = ReadCheck(IDS_INI_SEC_VIDEO_WND, IDS_INI_KEY_ALWAYS_ON_TOP, 1, 41842);
  AlwaysOnTop[2] = ReadCheck(IDS_INI_SEC_9_PIN_WND, IDS_INI_KEY_ALWAYS_ON_TOP, 1, 41843);
  ReadCheck(IDS_INI_SEC_9_PIN_WND, IDS_INI_KEY_REC_BTN_ENABLE, 0, 41844);
  AlwaysOnTop[3] = ReadCheck(IDS_INI_SEC_MIX_WND, IDS_INI_KEY_ALWAYS_ON_TOP, 1, 41845);
}

void RestoreEngineOptions(HWND wnd) {
  int32_t fader = ReadMain(IDS_INI_KEY_ALIGN_OUT_ELEMS_WFADER, 0, 0, 1);
  int32_t noInput = ReadMain(IDS_INI_KEY_ALIGN_OUT_ELEMS_WNO_INP, 0, 0, 1);
  if (fader && noInput) fader = 0;
  MainMenuCheck(41826, fader);
  MainMenuCheck(41827, noInput);
  StreamSmpBufSize = ReadMain(IDS_INI_KEY_STREAM_SMP_BUF_SIZE, 128, 64, 8192);
  ProChStat = ReadMain(IDS_INI_KEY_PRO_CH_STAT, 0, 0, 1);
  Command(wnd, ProChStat ? 41791 : 41790);
  UseNumSpExt = ReadMain(IDS_INI_KEY_USE_NUM_SP_EXT, 0, 0, 1);
  Command(wnd, UseNumSpExt ? 41793 : 41792);
  UndoLoadLevels();
  AutoSave = ReadMain(IDS_INI_KEY_AUTO_SAVE, 2, 0, 60);
  static const uint32_t kToolKeys[4] = {IDS_INI_KEY_LTOOL, IDS_INI_KEY_RTOOL,
                                        IDS_INI_KEY_ALT_LTOOL, IDS_INI_KEY_ALT_RTOOL};
  static const int kSlots[4] = {1, 0, 3, 2};
  static const int32_t kDefaults[4] = {0, 20, 1, 19};
  for (int i = 0; i < 4; ++i) ToolSlots[kSlots[i]] = ReadMain(kToolKeys[i], kDefaults[i], 0, 48);
}

// Per-unit choices: word-clock output, 64 to 96 kHz I/O mode, MADI 96 kHz
// and MADI mode, master clock; unit n's ids are unit 1's + n x the stride.
struct UnitGroup {
  uint32_t first;   // unit 1's first id
  uint32_t count;   // ids per unit
  uint32_t stride;
  int32_t value[kMaxUnits];
};
UnitGroup unitGroups[] = {
    {40360, 6, 6, {40360, 40366, 40372, 40378}},
    {40384, 6, 6, {40384, 40390, 40396, 40402}},
    {45000, 2, 2, {45000, 45002, 45004, 45006}},
    {45020, 2, 2, {45020, 45022, 45024, 45026}},
    {40408, 14, 14, {40408, 40423, 40437, 40451}},
};
enum { kUgClockOut, kUgIo96K, kUgMadi96K, kUgMadiMode, kUgMClk };

uint32_t UnitFirst(const UnitGroup& g, int unit) { return g.first + g.stride * unit; }

// The unit a per-unit id belongs to, or -1.
int UnitGroupOf(UINT id, UnitGroup** group) {
  for (UnitGroup& g : unitGroups) {
    if (id < g.first || id >= g.first + g.stride * kMaxUnits) continue;
    int unit = static_cast<int>((id - g.first) / g.stride);
    if (id - UnitFirst(g, unit) >= g.count) continue;
    *group = &g;
    return unit;
  }
  return -1;
}

// Reads a per-unit option and sends it as a command after the remap.
void RestoreUnitChoice(HWND wnd, int unit, uint32_t key, int group, uint32_t lowest, int32_t def,
                       uint32_t (*remap)(uint32_t, const UnitHardware&),
                       const UnitHardware& hw) {
  const UnitGroup& g = unitGroups[group];
  const uint32_t shift = g.stride * static_cast<uint32_t>(unit);
  int32_t v = ReadMain(key, def, static_cast<int32_t>(lowest),
                       static_cast<int32_t>(UnitFirst(g, unit) + g.count - 1));
  uint32_t id = static_cast<uint32_t>(v);
  if (remap) id = remap(id - shift, hw) + shift;
  Command(wnd, static_cast<int32_t>(id));
}

void RestoreUnit(HWND wnd, int n) {
  const UnitHardware hw = {UnitHasHostUnit(n + 1), UnitHasMixDsps(n + 1), UnitHwKind(n + 1)};
  const uint32_t un = static_cast<uint32_t>(n);
  RestoreUnitChoice(wnd, n, IDS_INI_KEY_SYNC_CON_OUT_UNIT1 + un, kUgClockOut, 40360 + 6 * un,
                    static_cast<int32_t>(40360 + 6 * un), RemapClockOut, hw);
  RestoreUnitChoice(wnd, n, IDS_INI_KEY_IO96_KUNIT0 + un, kUgIo96K, 40384 + 6 * un,
                    static_cast<int32_t>(40384 + 6 * un), RemapIo96K, hw);
  if (!hw.hasHost) {
    RestoreUnitChoice(wnd, n, IDS_INI_KEY_IO_MADI96_KUNIT0 + un, kUgMadi96K, 45000 + 2 * un,
                      static_cast<int32_t>(45000 + 2 * un), nullptr, hw);
    RestoreUnitChoice(wnd, n, IDS_INI_KEY_IO_MADI_MODE_UNIT0 + un, kUgMadiMode, 45020 + 2 * un,
                      static_cast<int32_t>(45020 + 2 * un), nullptr, hw);
    int32_t bits = ReadMain(IDS_INI_KEY_IO_AESINP_SRC0 + un, 0, 0, 15);
    for (uint32_t k = 0; k < 4; ++k) MainMenuCheck(45040 + 4 * un + k, (bits >> k) & 1);
    UnitCardSetAesSrc(n, static_cast<uint32_t>(bits));
  }
  // Units after the first have no "Internal": their lowest choice is AES/EBU.
  const uint32_t lowest = n == 0 ? 40408 : 40409 + 14 * un;
  RestoreUnitChoice(wnd, n, IDS_INI_KEY_MCLK_UNIT1 + un, kUgMClk, lowest,
                    static_cast<int32_t>(lowest), RemapMasterClock, hw);
}

GroupIndex GroupOf(UINT id) {
  for (int i = 0; i < kGroupCount; ++i)
    if (id >= groups[i].first && id <= groups[i].last) return static_cast<GroupIndex>(i);
  return kGroupCount;
}

}  // namespace

void ReadRememberedFolders() {
  for (int i = 0; i < 10; ++i) {
    char* path = folders[i];
    ReadIniString(Ini(), IDS_INI_SEC_MAIN_WND, kFolderKeys[i], path, MAX_PATH);
    PathMakeAbsolute(path, MAX_PATH, nullptr);
    if (kFolderIsFile[i] && std::strlen(path) + sizeof "(untitled)" <= MAX_PATH)
      std::strcat(path, "(untitled)");
  }
}

void RestoreOptions(HWND wnd) {
  Command(wnd, ReadMain(IDS_INI_KEY_REC_RESOL, 40356, 40355, 40356));
  const int units = UnitCount();
  for (int n = 0; n < units && n < kMaxUnits; ++n) RestoreUnit(wnd, n);
  RestoreSync(wnd);
  RestoreCommands(wnd, kCommandOptions, 4);
  Settings().SnapEnable = ReadMain(IDS_INI_KEY_SNAP_ENABLE, 0, 0, 1) ? 0 : 1;
  Command(wnd, 40510);
  RestoreCommands(wnd, kLaterCommandOptions, 1);
  MutedSoloAudOut = ReadMain(IDS_INI_KEY_MUTED_SOLO_AUD_OUT, 1, 1, 192);
  MainMenuCheckRadio(46000, 46191, 45999 + MutedSoloAudOut);
  MutedSoloMidiOut = ReadMain(IDS_INI_KEY_MUTED_SOLO_MIDI_OUT, 1, 1, 128);
  MainMenuCheckRadio(44000, 44127, 43999 + MutedSoloMidiOut);
  RestoreWindows(wnd);
  RestoreCommands(wnd, kEditCommandOptions, 10);
  RestoreConsole();
  RestoreEngineOptions(wnd);
  for (const CheckOption& o : kCheckOptions)
    *o.value = ReadCheck(IDS_INI_SEC_MAIN_WND, o.key, o.defaultValue, o.checkId);
}

int MainCmdDispatch(HWND wnd, UINT id) {
  UnitGroup* ug = nullptr;
  int unit = UnitGroupOf(id, &ug);
  if (unit >= 0) {
    if (ug == &unitGroups[kUgMClk] && id == UnitFirst(*ug, unit) + 3) return 0;  // no item
    ug->value[unit] = static_cast<int32_t>(id);
    MainMenuCheckRadio(UnitFirst(*ug, unit), UnitFirst(*ug, unit) + ug->count - 1, id);
    return 1;
  }
  GroupIndex g = GroupOf(id);
  if (g != kGroupCount) {
    groups[g].value = static_cast<int32_t>(id);
    MainMenuCheckRadio(groups[g].first, groups[g].last, id);
    if (g == kGrpOverlap) EditOverlapMode = static_cast<int32_t>(id);
    if (g == kGrpMultiOut) EditMultiOutMode = static_cast<int32_t>(id);
    return 1;
  }
  switch (id) {
    case 40510:  // snap on/off
      Settings().SnapEnable = !Settings().SnapEnable;
      MainMenuCheck(40510, static_cast<int>(Settings().SnapEnable));
      return 1;
    case 40511:
    case 40512:
      SyncInTrigOnly = id == 40511;
      return 1;
    case 41790:
    case 41791:
      ProChStat = id == 41791;
      return 1;
    case 41792:
    case 41793:
      UseNumSpExt = id == 41793;
      return 1;
    case 40490:
      VSyncedMClk = 1;
      return 1;
    case 41400:  // Exit
      PostMessageA(wnd, WM_CLOSE, 0, 0);
      return 1;
    case 42321:  // About
      DoDialog(wnd, "ABOUT", AboutDlgProc);
      return 1;
    default:
      return 0;
  }
}

// Shell services the model calls.
uint32_t GetSyncIn() { return static_cast<uint32_t>(groups[kGrpSyncIn].value); }
uint32_t GetRecResol() { return static_cast<uint32_t>(groups[kGrpRecResol].value); }
// windows.h names a function of its own GetTimeFormat.
#undef GetTimeFormat
uint32_t GetTimeFormat() { return static_cast<uint32_t>(groups[kGrpTimebar].value); }
uint32_t GetScrubMode() { return static_cast<uint32_t>(groups[kGrpScrubMode].value); }
uint32_t GetMClkUnit(int unit) {
  if (unit < 0 || unit >= kMaxUnits) return 40408;
  return static_cast<uint32_t>(unitGroups[kUgMClk].value[unit]);
}
const char* GetWvFormFilePath() { return folders[kFolderWvForm]; }
