// SaveMainSettings: the window placements and every setting of the command
// dispatcher into the main ini file, so that the next start-up's option
// restore gives back what was saved.
#include <windows.h>

#include <cstring>
#include <initializer_list>

#include "mixer/arrange/services.h"
#include "mixer/model/ini.h"
#include "mixer/model/inirecords.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/trkcolors.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/iniwin.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

const char* Ini() { return Shell().iniPath; }

void Main(uint32_t key, int32_t value) { WriteIniLong(Ini(), IDS_INI_SEC_MAIN_WND, key, value); }

void WriteWindows() {
  static const struct {
    uint32_t section;
    WndId wnd;
  } kWindows[] = {
      {IDS_INI_SEC_MAIN_WND, kMainWnd},          {IDS_INI_SEC_ARRANGE_WND, kArrangeWnd},
      {IDS_INI_SEC_DIR_WND, kDirWnd},            {IDS_INI_SEC_SFILE_MANAGER_WND, kFileManagerWnd},
      {IDS_INI_SEC_MRK_DIR_WND, kMrkDirWnd},     {IDS_INI_SEC_AUD_BUF_WND, kAudBufWnd},
      {IDS_INI_SEC_BIG_CLOC_WND, kBigClocWnd},   {IDS_INI_SEC_VIDEO_WND, kVideoWnd},
      {IDS_INI_SEC_9_PIN_WND, k9PinWnd},         {IDS_INI_SEC_MIX_WND, kMixWnd},
  };
  for (const auto& w : kWindows) WriteIniWindowPos(Ini(), w.section, IDS_INI_KEY_WINDOW, WndTable[w.wnd]);
  // The bars are stored as whether they are open.
  Main(IDS_INI_KEY_TOOL_BAR, WndTable[kToolWnd] ? 1 : 0);
  Main(IDS_INI_KEY_STATUS_BAR, WndTable[kStatusBar] ? 1 : 0);
  Main(IDS_INI_KEY_TAPE_TRANS_BAR, WndTable[kTapeTransBar] ? 1 : 0);
}

void WriteGroup(GroupIndex g) {
  const RadioGroup& r = RadioGroups[g];
  WriteIniLong(Ini(), r.section, r.key, r.value);
}

void WriteUnits() {
  const int units = UnitCount() < 4 ? UnitCount() : 4;
  for (int group : {kUgClockOut, kUgIo96K, kUgMadi96K, kUgMadiMode}) {
    const UnitGroup& g = UnitGroups[group];
    for (int n = 0; n < units; ++n) Main(g.key + static_cast<uint32_t>(n), g.value[n]);
  }
  for (int n = 0; n < units; ++n) Main(IDS_INI_KEY_IO_AESINP_SRC0 + static_cast<uint32_t>(n), IoAESInpSRC[n]);
  const UnitGroup& clock = UnitGroups[kUgMClk];
  for (int n = 0; n < units; ++n) Main(clock.key + static_cast<uint32_t>(n), clock.value[n]);
}

void WriteWindowOptions() {
  WriteGroup(kGrpMrkSort);
  WriteIniLong(Ini(), IDS_INI_SEC_BIG_CLOC_WND, IDS_INI_KEY_ALWAYS_ON_TOP, AlwaysOnTop[0]);
  WriteGroup(kGrpVideoSize);
  WriteIniLong(Ini(), IDS_INI_SEC_VIDEO_WND, IDS_INI_KEY_ALWAYS_ON_TOP, AlwaysOnTop[1]);
  WriteIniLong(Ini(), IDS_INI_SEC_9_PIN_WND, IDS_INI_KEY_ALWAYS_ON_TOP, AlwaysOnTop[2]);
  WriteIniLong(Ini(), IDS_INI_SEC_9_PIN_WND, IDS_INI_KEY_REC_BTN_ENABLE, RecBtnEnable);
  WriteIniLong(Ini(), IDS_INI_SEC_MIX_WND, IDS_INI_KEY_ALWAYS_ON_TOP, AlwaysOnTop[3]);
}

const CheckOption& Check(uint32_t id) { return *CheckOptionOf(id); }

void WriteOnOffAndNumbers() {
  // The on/off words in the order of the ini file, the numbers among them.
  static const uint32_t kFirst[] = {41801, 41802, 41803, 41804, 41805, 41807, 41808,
                                    41809, 41810, 41811, 41812, 41813};
  for (uint32_t id : kFirst) Main(Check(id).key, *Check(id).value);
  Main(IDS_INI_KEY_CONSOLE_ENABLE, ConsoleEnable);
  static const uint32_t kSecond[] = {41815, 41816, 41817, 41818, 41819, 41820,
                                     41821, 41823, 41824, 41825};
  for (uint32_t id : kSecond) Main(Check(id).key, *Check(id).value);
  Main(IDS_INI_KEY_ALIGN_OUT_ELEMS_WFADER, AlignOutElemsWFader);
  Main(IDS_INI_KEY_ALIGN_OUT_ELEMS_WNO_INP, AlignOutElemsWNoInp);
  Main(IDS_INI_KEY_STREAM_SMP_BUF_SIZE, StreamSmpBufSize);
  for (uint32_t id : {41829u, 41830u, 41831u, 41832u}) Main(Check(id).key, *Check(id).value);
  Main(IDS_INI_KEY_SYNC_IN_AUTO_PLAY_STOP, SyncInAutoPlayStop);
  Main(IDS_INI_KEY_SLV_MTC_PREP_DURAT, SlvMtcPrepDurat);
  Main(IDS_INI_KEY_SYNC_IN_DROP_OUT, SyncInDropOut);
  Main(IDS_INI_KEY_SYNC_IN_MTCQF48, SyncInMTCQF48);
  Main(IDS_INI_KEY_SYNC_OUT_BITCPOS, SyncOutBITCPos);
  Main(IDS_INI_KEY_PRO_CH_STAT, ProChStat);
  Main(IDS_INI_KEY_USE_NUM_SP_EXT, UseNumSpExt);
  // The restore adds one to the levels the user sees; writing the stored
  // count would raise the levels by one at every start.
  Main(IDS_INI_KEY_UNDO_LEVELS, UndoLevels - 1);
  Main(IDS_INI_KEY_AUTO_SAVE, AutoSave);
  Main(IDS_INI_KEY_WIND_FAST, WindFast);
  Main(Check(41836).key, *Check(41836).value);
}

void WriteTools() {
  static const uint32_t kKeys[4] = {IDS_INI_KEY_LTOOL, IDS_INI_KEY_RTOOL, IDS_INI_KEY_ALT_LTOOL,
                                    IDS_INI_KEY_ALT_RTOOL};
  static const int kSlots[4] = {1, 0, 3, 2};
  for (int i = 0; i < 4; ++i) Main(kKeys[i], ToolGet(kSlots[i]));
}

// The folder of each remembered file kind, its file-name part cut off.
void WriteFolders() {
  NgtPathFolder(Folders[kFolderNgt], sizeof Folders[kFolderNgt]);
  for (FolderIndex i : {kFolderArr, kFolderPC, kFolderWav, kFolderNgt, kFolderVideo, kFolderMix,
                        kFolderMidi}) {
    char folder[260];
    std::memcpy(folder, Folders[i], sizeof folder);
    folder[sizeof folder - 1] = 0;
    if (char* slash = std::strrchr(folder, '\\')) slash[1] = 0;
    else folder[0] = 0;
    WriteIniValue(Ini(), IDS_INI_SEC_MAIN_WND, kFolderKeys[i], "%s", folder);
  }
}

}  // namespace

void SaveMainSettings() {
  WriteWindows();
  WriteGroup(kGrpRecResol);
  WriteUnits();
  Main(IDS_INI_KEY_VSYNCED_MCLK, VSyncedMClk);
  Main(IDS_INI_KEY_SYNC_IN_TRIG_ONLY, SyncInTrigOnly);
  WriteGroup(kGrpSyncIn);
  Main(IDS_INI_KEY_SYNC_OUT, SyncOut);
  for (GroupIndex g : {kGrpSrate, kGrpFrate, kGrpTimebar, kGrpWavAxis}) WriteGroup(g);
  Main(IDS_INI_KEY_SNAP_ENABLE, static_cast<int32_t>(Settings().SnapEnable));
  WriteGroup(kGrpSnap);
  Main(IDS_INI_KEY_MUTED_SOLO_AUD_OUT, MutedSoloAudOut);
  Main(IDS_INI_KEY_MUTED_SOLO_MIDI_OUT, MutedSoloMidiOut);
  WriteWindowOptions();
  for (GroupIndex g : {kGrpScrubMode, kGrpProcRefATk, kGrpProcDelATk, kGrpProcRefCTk,
                       kGrpProcDelCTk, kGrpProcRefMTk, kGrpProcDelMTk, kGrpOverlap, kGrpMultiOut,
                       kGrp9PinMode})
    WriteGroup(g);
  WriteOnOffAndNumbers();
  WriteTools();
  WriteTrkColors();
  WriteCautomTrkColors();
  WriteMidevTrkColors();
  for (int n = 0; n < UnitCount() && n < 4; ++n) WriteMidiCfgUnit(ReadMidiCfgUnit(n + 1), n + 1);
  WriteSyncInVitcDec(SyncInVITCDec);
  ArrSaveSettings();
  WriteFolders();
  for (WndId id : {kArrangeWnd, kFileManagerWnd, kMrkDirWnd, kBigClocWnd})
    if (WndTable[id]) SendMessageA(WndTable[id], WMU_SAVE_SETTINGS, 0, 0);
  QVVPLAYER_SaveSettings();
}
