// The option restore of the main frame's creation: each value read with its
// default and range, radio choices sent to the frame as the command of the
// chosen item so that stored and chosen settings take one road, on/off
// options stored and shown by their check marks.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "mixer/arrange/services.h"
#include "mixer/mix/services.h"
#include "mixer/model/ini.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/files.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/unitopts.h"
#include "mixer/shell/win32/mainwnd.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

const char* Ini() { return Shell().iniPath; }

int32_t ReadMain(uint32_t key, int32_t def, int32_t lo, int32_t hi) {
  return ReadIniInt(Ini(), IDS_INI_SEC_MAIN_WND, key, def, lo, hi);
}

void Command(HWND wnd, int32_t id) { SendMessageA(wnd, WM_COMMAND, static_cast<WPARAM>(id), 0); }

// A radio group's stored id, kept to the group's own ids, sent as its
// command.
void RestoreGroup(HWND wnd, GroupIndex g) {
  const RadioGroup& r = RadioGroups[g];
  Command(wnd, ReadIniInt(Ini(), r.section, r.key, r.value, static_cast<int32_t>(r.first),
                          static_cast<int32_t>(r.last)));
}

int32_t ReadCheck(uint32_t section, uint32_t key, int32_t def, uint32_t checkId) {
  int32_t v = ReadIniInt(Ini(), section, key, def, 0, 1);
  MainMenuCheck(checkId, v);
  return v;
}

// The console link is asked for only where COM came up apartment-threaded
// through CoInitializeEx; the option holds whether the link succeeded.
void RestoreConsole() {
  ConsoleEnable = 0;
  if (Shell().comEx && ReadMain(IDS_INI_KEY_CONSOLE_ENABLE, 0, 0, 1))
    ConsoleEnable = ConsoleRegister() ? 1 : 0;
  MainMenuCheck(41814, ConsoleEnable);
}

void RestoreSync(HWND wnd) {
  if (UnitHasSyncBoard(0)) {
    VSyncedMClk = ReadMain(IDS_INI_KEY_VSYNCED_MCLK, 0, 0, 1);
    if (VSyncedMClk) Command(wnd, 40490);
  }
  // The per-unit restore left the last unit's clock in the status bar.
  if (UnitCount() > 1) StatusUpdate(5, GetMClkUnit(0), 1);
  StatusRedrawAll();
  SyncInTrigOnly = ReadMain(IDS_INI_KEY_SYNC_IN_TRIG_ONLY, 0, 0, 1);
  if (GetMClkUnit(0) != 40408 || VSyncedMClk) SyncInTrigOnly = 1;
  Command(wnd, SyncInTrigOnly ? 40511 : 40512);
  Command(wnd, ReadMain(IDS_INI_KEY_SYNC_IN, 40501, 40501, UnitHasSyncBoard(0) ? 40505 : 40502));
  SyncOut = ReadMain(IDS_INI_KEY_SYNC_OUT, 0, 0, 255) & (UnitHasSyncBoard(0) ? 0xF : 0x3);
  for (uint32_t k = 0; k < 4; ++k) MainMenuCheck(40506 + k, (SyncOut >> k) & 1);
  UnitsSetPlayFlags(static_cast<uint32_t>(SyncOut));
  UnitsLocate(Locs().NowLoc);
  SyncInAutoPlayStop = ReadMain(IDS_INI_KEY_SYNC_IN_AUTO_PLAY_STOP, 0, 0, 1);
  SlvMtcPrepDurat = ReadMain(IDS_INI_KEY_SLV_MTC_PREP_DURAT, 2500, 100, 4000);
}

void RestoreWindows(HWND wnd) {
  RestoreGroup(wnd, kGrpMrkSort);
  AlwaysOnTop[0] = ReadCheck(IDS_INI_SEC_BIG_CLOC_WND, IDS_INI_KEY_ALWAYS_ON_TOP, 1, 41839);
  RestoreGroup(wnd, kGrpVideoSize);
  AlwaysOnTop[1] = ReadCheck(IDS_INI_SEC_VIDEO_WND, IDS_INI_KEY_ALWAYS_ON_TOP, 1, 41842);
  AlwaysOnTop[2] = ReadCheck(IDS_INI_SEC_9_PIN_WND, IDS_INI_KEY_ALWAYS_ON_TOP, 1, 41843);
  RecBtnEnable = ReadCheck(IDS_INI_SEC_9_PIN_WND, IDS_INI_KEY_REC_BTN_ENABLE, 0, 41844);
  NinePinSetRecBtnEnable(RecBtnEnable);
  AlwaysOnTop[3] = ReadCheck(IDS_INI_SEC_MIX_WND, IDS_INI_KEY_ALWAYS_ON_TOP, 1, 41845);
}

void RestoreEngineOptions(HWND wnd) {
  AlignOutElemsWFader = ReadMain(IDS_INI_KEY_ALIGN_OUT_ELEMS_WFADER, 0, 0, 1);
  AlignOutElemsWNoInp = ReadMain(IDS_INI_KEY_ALIGN_OUT_ELEMS_WNO_INP, 0, 0, 1);
  if (AlignOutElemsWFader && AlignOutElemsWNoInp) AlignOutElemsWFader = 0;
  MainMenuCheck(41826, AlignOutElemsWFader);
  MainMenuCheck(41827, AlignOutElemsWNoInp);
  MixReallocDsp();
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
  for (int i = 0; i < 4; ++i) ToolSelect(kSlots[i], ReadMain(kToolKeys[i], kDefaults[i], 0, 48));
}

// Reads a per-unit option and sends it as a command after the remap.
void RestoreUnitChoice(HWND wnd, int unit, int group, uint32_t lowest,
                       uint32_t (*remap)(uint32_t, const UnitHardware&), const UnitHardware& hw) {
  const UnitGroup& g = UnitGroups[group];
  const uint32_t shift = g.stride * static_cast<uint32_t>(unit);
  const int32_t v = ReadMain(g.key + static_cast<uint32_t>(unit), static_cast<int32_t>(lowest),
                             static_cast<int32_t>(lowest),
                             static_cast<int32_t>(UnitFirstId(g, unit) + g.count - 1));
  uint32_t id = static_cast<uint32_t>(v);
  if (remap) id = remap(id - shift, hw) + shift;
  Command(wnd, static_cast<int32_t>(id));
}

void RestoreUnit(HWND wnd, int n) {
  const UnitHardware hw = {UnitHasHostUnit(n + 1), UnitHasMixDsps(n + 1), UnitHwKind(n + 1)};
  const uint32_t un = static_cast<uint32_t>(n);
  RestoreUnitChoice(wnd, n, kUgClockOut, 40360 + 6 * un, RemapClockOut, hw);
  RestoreUnitChoice(wnd, n, kUgIo96K, 40384 + 6 * un, RemapIo96K, hw);
  if (!hw.hasHost) {
    RestoreUnitChoice(wnd, n, kUgMadi96K, 45000 + 2 * un, nullptr, hw);
    RestoreUnitChoice(wnd, n, kUgMadiMode, 45020 + 2 * un, nullptr, hw);
    IoAESInpSRC[n] = ReadMain(IDS_INI_KEY_IO_AESINP_SRC0 + un, 0, 0, 15);
    for (uint32_t k = 0; k < 4; ++k) MainMenuCheck(45040 + 4 * un + k, (IoAESInpSRC[n] >> k) & 1);
    UnitCardSetAesSrc(n, static_cast<uint32_t>(IoAESInpSRC[n]));
  }
  // Units after the first have no "Internal": their lowest choice is AES/EBU.
  const uint32_t lowest = n == 0 ? 40408 : 40409 + 14 * un;
  RestoreUnitChoice(wnd, n, kUgMClk, lowest, RemapMasterClock, hw);
}

}  // namespace

void ReadRememberedFolders() {
  for (int i = 0; i < kFolderCount; ++i) {
    char* path = Folders[i];
    ReadIniString(Ini(), IDS_INI_SEC_MAIN_WND, kFolderKeys[i], path, MAX_PATH);
    PathMakeAbsolute(path, MAX_PATH, nullptr);
    if (kFolderIsFile[i] && std::strlen(path) + sizeof "(untitled)" <= MAX_PATH)
      std::strcat(path, "(untitled)");
  }
  // The noise gate keeps its own current file in the folder read.
  char folder[MAX_PATH];
  std::snprintf(folder, sizeof folder, "%s", Folders[kFolderNgt]);
  if (char* slash = std::strrchr(folder, '\\')) slash[1] = 0;
  NgtSetPathFolder(folder);
}

void RestoreOptions(HWND wnd) {
  RestoreGroup(wnd, kGrpRecResol);
  const int units = UnitCount();
  for (int n = 0; n < units && n < 4; ++n) RestoreUnit(wnd, n);
  RestoreSync(wnd);
  for (GroupIndex g : {kGrpSrate, kGrpFrate, kGrpTimebar, kGrpWavAxis}) RestoreGroup(wnd, g);
  // The inverse is stored, so that the toggle leads to the value read.
  Settings().SnapEnable = ReadMain(IDS_INI_KEY_SNAP_ENABLE, 0, 0, 1) ? 0 : 1;
  Command(wnd, 40510);
  RestoreGroup(wnd, kGrpSnap);
  MutedSoloAudOut = ReadMain(IDS_INI_KEY_MUTED_SOLO_AUD_OUT, 1, 1, 192);
  MainMenuCheckRadio(46000, 46191, 45999 + static_cast<uint32_t>(MutedSoloAudOut));
  MutedSoloMidiOut = ReadMain(IDS_INI_KEY_MUTED_SOLO_MIDI_OUT, 1, 1, 128);
  MainMenuCheckRadio(44000, 44127, 43999 + static_cast<uint32_t>(MutedSoloMidiOut));
  RestoreWindows(wnd);
  for (GroupIndex g : {kGrpScrubMode, kGrpProcRefATk, kGrpProcDelATk, kGrpProcRefCTk,
                       kGrpProcDelCTk, kGrpProcRefMTk, kGrpProcDelMTk, kGrpOverlap, kGrpMultiOut,
                       kGrp9PinMode})
    RestoreGroup(wnd, g);
  RestoreConsole();
  RestoreEngineOptions(wnd);
  for (int i = 0; i < kCheckOptionCount; ++i) {
    const CheckOption& o = kCheckOptions[i];
    *o.value = ReadCheck(IDS_INI_SEC_MAIN_WND, o.key, o.defaultValue, o.checkId);
  }
  ArrSetFollowButton(!FollowCloc);
  ProcOptionsFromSettings();
}
