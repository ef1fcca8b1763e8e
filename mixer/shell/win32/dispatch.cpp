// The main command dispatcher: every menu, accelerator and forwarded command
// that the main frame does not handle itself. Radio groups keep the id of
// their choice, on/off settings a word of 0 or 1; each command checks its
// menu items and calls the services of the subsystem that carries it out.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/services.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/mix/services.h"
#include "mixer/model/arr.h"
#include "mixer/model/host.h"
#include "mixer/model/marker.h"
#include "mixer/model/mrkdir.h"
#include "mixer/model/options.h"
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/trkcolors.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/appwnd.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/inputdlg.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/prompts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

constexpr uint32_t kSyncInInternal = 40501;
constexpr uint32_t kClockInternal = 40408;
constexpr int32_t kVideoSyncedFlags = 0x20000, kChaseFlags = 0x10000;

// Ids of the rate items 41580..41590 and of the frame-rate items 41601..41606.
constexpr uint32_t kRates[11] = {22050, 32000, 44056, 44100, 47952, 48000,
                                 64000, 88112, 88200, 95904, 96000};
constexpr uint32_t kFrameCodes[6] = {24, 25, 30, 28, 29, 31};

HWND mainWnd = nullptr;

int32_t Varispeed() { return static_cast<int32_t>(Settings().SyncSource); }

void CheckItem(uint32_t id, int32_t on) { MainMenuCheck(id, on ? 1 : 0); }

void Radio(GroupIndex g, uint32_t id) {
  RadioGroups[g].value = static_cast<int32_t>(id);
  MainMenuCheckRadio(RadioGroups[g].first, RadioGroups[g].last, id);
}

void SendSampleRate(int mode) {
  UnitsSetSampleRate(mode, Settings().SampleRate, Varispeed(), mode == 4 ? ProChStat : 0);
}

void SetSyncMode() {
  const int32_t flags = VSyncedMClk ? kVideoSyncedFlags : (SyncInTrigOnly ? 0 : kChaseFlags);
  UnitsSetSyncMode(static_cast<uint32_t>(RadioValue(kGrpSyncIn)), static_cast<uint32_t>(flags),
                   UnitGroups[kUgMClk].value);
}

void SendPlayFlagsAndLocate() {
  UnitsSetPlayFlags(static_cast<uint32_t>(SyncOut));
  UnitsLocate(Locs().NowLoc);
}

int HostUnitCount() {
  int n = 0;
  for (int u = 0; u < UnitCount() && u < 4; ++u) n += UnitHasHostUnit(u + 1) ? 1 : 0;
  return n;
}

void TriggerOnly(bool on) {
  SyncInTrigOnly = on ? 1 : 0;
  MainMenuCheckRadio(40511, 40512, on ? 40511 : 40512);
  SendSampleRate(3);
  SetSyncMode();
  StatusUpdate(1, static_cast<uint32_t>(RadioValue(kGrpSyncIn)), 1);
}

void MasterClockCommon(int unit) {
  const uint32_t id = static_cast<uint32_t>(UnitGroups[kUgMClk].value[unit]);
  UnitSetMasterClock(unit, id);
  StatusUpdate(5, id, 0);
  if (unit != 0) return;
  StatusUpdate(2, Settings().SampleRate, 1);
  MixUpdateMainCaption();
  if (HostUnitCount() == 1 && NinePinDrivesMachine()) UnitSetVideoSync(0, VSyncedMClk);
  if ((id != kClockInternal || VSyncedMClk) && !SyncInTrigOnly) {
    TriggerOnly(true);
  } else {
    SendSampleRate(3);
    SetSyncMode();
  }
}

void UnitChoice(int group, int unit, uint32_t id) {
  UnitGroup& g = UnitGroups[group];
  g.value[unit] = static_cast<int32_t>(id);
  MainMenuCheckRadio(UnitFirstId(g, unit), UnitFirstId(g, unit) + g.count - 1, id);
  switch (group) {
    case kUgMClk:
      if (unit == 0 && VSyncedMClk) {
        VSyncedMClk = 0;
        CheckItem(40490, 0);
      }
      MasterClockCommon(unit);
      break;
    case kUgClockOut:
      UnitSetClockOut(unit, id);
      MixReallocDsp();
      break;
    case kUgIo96K:
      MixReallocDsp();
      SendSampleRate(1);
      UnitCardUpdateMixState(unit);
      MixGreyUnavailableIo();
      break;
    case kUgMadi96K:
      UnitCardSetMadiPattern(unit, id == UnitFirstId(g, unit) ? 1 : 0);
      break;
    case kUgMadiMode:
      MixReallocDsp();
      MixGreyUnavailableIo();
      break;
  }
}

void VideoSync() {
  UnitGroups[kUgMClk].value[0] = kClockInternal;
  MainMenuCheckRadio(40408, 40421, kClockInternal);
  CheckItem(kClockInternal, 0);
  VSyncedMClk = 1;
  CheckItem(40490, 1);
  MasterClockCommon(0);
}

void AesSrcToggle(uint32_t id) {
  const int unit = static_cast<int>((id - 45040) / 4);
  const int32_t bit = 1 << ((id - 45040) % 4);
  IoAESInpSRC[unit] ^= bit;
  CheckItem(id, IoAESInpSRC[unit] & bit);
  UnitCardSetAesSrc(unit, static_cast<uint32_t>(IoAESInpSRC[unit]));
}

// The seamless loop off: units, MIDI, menu, lamps, control surface.
void LoopOff() {
  SetArrParam(7, Settings().PlayRecMode & ~kModeLoop);
  UnitsSetLoop(1, 0, 0);
  MidiSetLoop(0, 0);
  CheckItem(41430, 0);
  TransportShowModeLamps();
  ConsoleNotifyModes(Settings().PlayRecMode, kModeLoop);
  ArrChangeCountRaise();
}

void SyncIn(uint32_t id) {
  Radio(kGrpSyncIn, id);
  if (!VSyncedMClk) SendSampleRate(3);
  if (id != kSyncInInternal && (Settings().PlayRecMode & kModeLoop)) LoopOff();
  SetSyncMode();
  if (!UnitsDspMaskFlag()) SendPlayFlagsAndLocate();
  StatusUpdate(1, id, 0);
  TransportShowModeLamps();
}

void SyncOutToggle(uint32_t bit) {
  const int32_t mask = 1 << bit;
  SyncOut ^= mask;
  if (SyncOut & mask) SyncOut &= bit == 0 ? ~0xE : ~0x1;
  for (uint32_t k = 0; k < 4; ++k) CheckItem(40506 + k, (SyncOut >> k) & 1);
  SendPlayFlagsAndLocate();
}

void NinePinMode(uint32_t id) {
  Radio(kGrp9PinMode, NinePinCommand(id));
  StatusUpdate(1, static_cast<uint32_t>(RadioValue(kGrpSyncIn)), 1);
  const int drives = NinePinDrivesMachine();
  SyncOut = drives ? (SyncOut | 0x40) : (SyncOut & ~0x40);
  UnitsSetPlayFlags(static_cast<uint32_t>(SyncOut));
  if (HostUnitCount() == 1 && VSyncedMClk) UnitSetVideoSync(0, drives);
}

void SampleRate(uint32_t id) {
  ArrPrevTempo = {TempoMap, Settings().Tempo, Settings().SampleRate};
  const uint32_t rate = kRates[id - 41580];
  SetArrParam(0, rate);
  ConsoleNotifySampleRate(rate);
}

void FrameRate(uint32_t id) {
  const uint32_t code = kFrameCodes[id - 41601];
  SetArrParam(2, code);
  ConsoleNotifyFrameRate(code);
  NinePinSetTimecodeFormat(code);
}

// Radio groups; false for an id of none.
bool RadioCommand(uint32_t id) {
  const GroupIndex g = RadioGroupOf(id);
  if (g == kGroupCount) return false;
  switch (g) {
    case kGrpSyncIn:
      SyncIn(id);
      return true;
    case kGrp9PinMode:
      NinePinMode(id);
      return true;
    default:
      break;
  }
  Radio(g, id);
  ProcOptionsFromSettings();
  switch (g) {
    case kGrpRecResol:
      StatusUpdate(4, id, 0);
      TakeDirWndRepaint();
      break;
    case kGrpSrate:
      SampleRate(id);
      break;
    case kGrpFrate:
      FrameRate(id);
      break;
    case kGrpTimebar:
      TransportShowLeftLoc();
      TransportShowRightLoc();
      ArrRedrawWindows();
      BigClockShowBars(id == 40518);
      break;
    case kGrpWavAxis:
      ArrRedrawWindows();
      break;
    case kGrpSnap:
      SetArrParam(6, id - 40520);
      break;
    case kGrpMrkSort:
      MrkDirRefresh(kMrkDirRebuild, 0);
      break;
    case kGrpVideoSize:
      VideoCommand(mainWnd, id);
      break;
    case kGrpOverlap:
      EditOverlapMode = static_cast<int32_t>(id);
      break;
    case kGrpMultiOut:
      EditMultiOutMode = static_cast<int32_t>(id);
      break;
    case kGrpProcRefATk: ProcOpts().refATk = static_cast<int32_t>(id); break;
    case kGrpProcDelATk: ProcOpts().delUnRefATk = static_cast<int32_t>(id); break;
    case kGrpProcRefCTk: ProcOpts().refCTk = static_cast<int32_t>(id); break;
    case kGrpProcDelCTk: ProcOpts().delUnRefCTk = static_cast<int32_t>(id); break;
    case kGrpProcRefMTk: ProcOpts().refMTk = static_cast<int32_t>(id); break;
    case kGrpProcDelMTk: ProcOpts().delUnRefMTk = static_cast<int32_t>(id); break;
    default:
      break;
  }
  return true;
}

// Runs dialog INPUT with a caption string and a starting text; false when
// cancelled.
bool Prompt(uint32_t caption, const char* start) {
  SetInputText(start);
  return DoDialogParam(mainWnd, "INPUT", InputDlgProc,
                       reinterpret_cast<LPARAM>(StrText(caption))) == 1;
}

bool PromptNumber(uint32_t caption, int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return Prompt(caption, text);
}

void VarispeedPrompt() {
  char text[16];
  VarispeedPromptText(Varispeed(), text, sizeof text);
  if (Prompt(IDS_PROMPT_VARISPEED, text)) SetArrParam(1, static_cast<uint32_t>(VarispeedFromEntry(InputText())));
}

void RebuildPlayback() {
  RebuildAndPrepPlayLists(CurArr, Locs().NowLoc);
  MxaRefreshAfterEdit(CurArr, CurMixDoc(), Locs().NowLoc);
}

// Midi Parts recorded with a tempo follow a tempo change.
void RetimeMidiParts(bool ask) {
  if (ArrHasTempoMidiParts()) {
    const bool yes = !ask || MessageBoxById(mainWnd, IDS_ADJUST_MIDI_PARTS, MB_YESNO | MB_ICONQUESTION) == IDYES;
    if (yes && ArrRetimeMidiParts()) RebuildPlayback();
  }
  MidiRebuildAndPrep(CurArr, Locs().NowLoc);
}

bool LocatorsInOrder(bool strict) {
  const Locators& l = Locs();
  if (strict ? l.LeftLoc < l.RightLoc : l.LeftLoc <= l.RightLoc) return true;
  MessageBoxById(mainWnd, IDS_LOCATORS_NOT_SET, MB_ICONEXCLAMATION);
  return false;
}

void TempoFromLocs() {
  if (!LocatorsInOrder(true)) return;
  if (!PromptNumber(IDS_PROMPT_TEMPO_BARS, TempoBars)) return;
  TempoBars = BarsFromEntry(InputText());
  const ProjectSettings& p = Settings();
  ArrPrevTempo = {TempoMap, p.Tempo, p.SampleRate};
  const int32_t tempo = TempoFromLocators(TempoBars, p.MeterNum, p.MeterDen, p.SampleRate,
                                          Locs().LeftLoc, Locs().RightLoc);
  SetArrParam(4, static_cast<uint32_t>(tempo));
  if (!TempoMap) RetimeMidiParts(false);
  else MidiRebuildAndPrep(CurArr, Locs().NowLoc);
}

void UndoLevelsPrompt() {
  if (!PromptNumber(IDS_PROMPT_UNDO_LEVELS, UndoLevels - 1)) return;
  UndoDiscard(0);
  UndoLevels = UndoLevelsFromEntry(InputText());
}

void BufSizePrompt() {
  if (!PromptNumber(IDS_PROMPT_SMP_BUF_SIZE, StreamSmpBufSize)) return;
  StreamSmpBufSize = SmpBufSizeFromEntry(InputText());
  MixReallocDsp();
}

void AutoSavePrompt() {
  if (PromptNumber(IDS_PROMPT_AUTO_SAVE, AutoSave)) AutoSave = AutoSaveFromEntry(InputText());
}

// Every existing floating window follows its own AlwaysOnTop word.
void ApplyTopmost() {
  for (int i = 0; i < kFloatWndCount; ++i)
    if (HWND w = WndTable[kFloatWnds[i]])
      SetWindowPos(w, AlwaysOnTop[i] ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE);
}

void ToggleTopmost(int index, uint32_t id) {
  AlwaysOnTop[index] = !AlwaysOnTop[index];
  CheckItem(id, AlwaysOnTop[index]);
  if (WndTable[kFloatWnds[index]]) ApplyTopmost();
}

void Console() {
  if (ConsoleEnable) {
    ConsoleEnable = 0;
    QVCIN_UnRegisterConsole();
  } else if (!Shell().comEx) {
    MessageBoxById(mainWnd, IDS_DCOM_MISSING, MB_ICONEXCLAMATION);
  } else if (ConsoleRegister()) {
    ConsoleEnable = 1;
  } else {
    MessageBoxById(mainWnd, IDS_CONSOLE_MANAGER_MISSING, MB_ICONEXCLAMATION);
  }
  CheckItem(41814, ConsoleEnable);
}

void AlignOutputs(bool fader) {
  int32_t& mine = fader ? AlignOutElemsWFader : AlignOutElemsWNoInp;
  int32_t& other = fader ? AlignOutElemsWNoInp : AlignOutElemsWFader;
  mine = !mine;
  if (mine && other) {
    other = 0;
    CheckItem(fader ? 41827 : 41826, 0);
  }
  CheckItem(fader ? 41826 : 41827, mine);
  MixReallocDsp();
}

// On/off options; false for an id of none.
bool ToggleCommand(uint32_t id) {
  const CheckOption* o = CheckOptionOf(id);
  if (!o) return false;
  *o->value = !*o->value;
  CheckItem(id, *o->value);
  ProcOptionsFromSettings();
  switch (id) {
    case 41803:
      ArrRedrawWindows();
      TakeDirWndRepaint();
      break;
    case 41804:
    case 41805:
      ArrRedrawWindows();
      break;
    case 41807:
      RebuildAndPrepPlayLists(CurArr, Locs().NowLoc);
      break;
    case 41809:
      if (FollowCloc) ArrScrollToLoc(Locs().NowLoc);
      break;
    case 41824:
    case 41825:
      MixReallocDsp();
      break;
    case 41831:
      if (DetMixElemChanges) MixSnapshotStates();
      else MixFreeSnapshot();
      break;
    default:
      break;
  }
  return true;
}

void PlayRecModeBit(uint32_t bit, uint32_t id) {
  const uint32_t mode = Settings().PlayRecMode ^ bit;
  SetArrParam(7, mode);
  CheckItem(id, (Settings().PlayRecMode & bit) != 0);
  TransportShowModeLamps();
  ConsoleNotifyModes(Settings().PlayRecMode, bit);
  NinePinSetMachineFlags(Settings().PlayRecMode, bit);
  ArrChangeCountRaise();
}

void SeamlessLoopToggle() {
  SetArrParam(7, Settings().PlayRecMode ^ kModeLoop);
  const int on = (Settings().PlayRecMode & kModeLoop) != 0;
  CheckItem(41430, on);
  TransportShowModeLamps();
  UnitsSetLoop(1, on, 0);
  MidiSetLoop(on ? 1 : 0, 1);
  TransportUpdateEndLoc();
  ConsoleNotifyModes(Settings().PlayRecMode, kModeLoop);
  ArrChangeCountRaise();
}

void RecReady(bool on) {
  int32_t first = 0, last = 0;
  if (RecReadyRange(RecReadyTyped[0], RecReadyTyped[1], &first, &last))
    SetRecReady(0, first, last, on ? kRecReadyArm : kRecReadySafe);
  RecReadyTyped[0] = RecReadyTyped[1] = 0;
}

void AfterUndo() {
  ArrSyncTakeRefs(CurArr, 0);
  MrkDirRefresh(kMrkDirRebuild, 0);
  for (uint32_t n = 1; n <= 998; ++n) ConsoleNotifyMarker(CurMrkList, n);
  RebuildPlayback();
  MidiRebuildAndPrep(CurArr, Locs().NowLoc);
  MixSyncRecTrkAssign();
  ArrRedrawWindows();
}

void GlobalCommand(uint32_t id) {
  const bool strict = id == 41442 || id == 41443;
  const bool ordered = id == 41444 || id == 41449;
  if ((strict || ordered) && !LocatorsInOrder(strict)) return;
  if (!ArrGlobalCommand(id)) MessageBoxById(mainWnd, IDS_SELECT_PART_FIRST, MB_ICONEXCLAMATION);
}

void ToolWindow() {
  const bool open = WndTable[kToolWnd] != nullptr;
  if (HWND status = WndTable[kStatusBar]) {
    RECT r;
    GetWindowRect(status, &r);
    POINT p = {r.left, r.top};
    ScreenToClient(mainWnd, &p);
    SetWindowPos(status, nullptr, p.x, open ? 1 : 32, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  if (!open) {
    CheckItem(42300, 1);
    ToolWndCreate(mainWnd);
  } else {
    DestroyWindow(WndTable[kToolWnd]);
  }
  const bool exists = WndTable[kToolWnd] != nullptr;
  if (!exists) CheckItem(42300, 0);
  HMENU menu = GetMenu(mainWnd);
  for (UINT item : {42301u, 42302u, 41800u})
    EnableMenuItem(menu, item, MF_BYCOMMAND | (exists ? MF_ENABLED : MF_GRAYED));
  InvalidateRect(mainWnd, nullptr, TRUE);
}

void MixerWindow(int fullView) {
  const int view = MixWndView();
  HWND mix = WndTable[kMixWnd];
  if (mix && view != fullView) {
    DestroyWindow(mix);
  } else if (mix) {
    if (GetActiveWindow() == mix) DestroyWindow(mix);
    else BringWindowToTop(mix);
    return;
  }
  if (view == fullView) return;
  MainMenuCheckRadio(42318, 42319, fullView ? 42318 : 42319);
  MixWndCreate(fullView);
}

// Opens a file of the program's own folder with the shell.
void OpenProgramFile(const char* name) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  char* slash = std::strrchr(path, '\\');
  const size_t dir = slash ? static_cast<size_t>(slash - path + 1) : 0;
  if (dir + std::strlen(name) >= sizeof path) return;
  std::strcpy(path + dir, name);
  ShellExecuteA(mainWnd, nullptr, path, nullptr, nullptr, SW_SHOWNORMAL);
}

// The colour dialog over one entry of a colour table; false when cancelled.
bool ChooseTableColour(uint32_t* colour) {
  static COLORREF custom[16];
  CHOOSECOLORA cc = {};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = mainWnd;
  cc.rgbResult = *colour;
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorA(&cc)) return false;
  *colour = cc.rgbResult;
  return true;
}

bool ColourCommand(uint32_t id) {
  uint32_t* colour = nullptr;
  if (id >= 43000 && id <= 43127) colour = &CautomTrkColors[id - 43000];
  else if (id >= 43128 && id <= 43255) colour = &MidevTrkColors[id - 43128];
  else if (id >= 47000 && id <= 47191) colour = &TrkColors[id - 47000];
  else if (id >= 43260 && id <= 43262) {
    ArrRedrawWindows();  // the arrange view's own colours belong to its window
    return true;
  } else {
    return false;
  }
  if (ChooseTableColour(colour)) {
    ArrRedrawWindows();
    if (id >= 47000) MixSendTrkColors();
  }
  return true;
}

void TransportButton(uint32_t button) {
  HWND bar = WndTable[kTapeTransBar];
  if (!bar) return;
  if (HWND child = GetDlgItem(bar, static_cast<int>(button)))
    SendMessageA(child, WM_LBUTTONDOWN, 0, 0);
}

void ArrangeMessage(UINT msg, WPARAM wParam) {
  if (HWND arr = WndTable[kArrangeWnd]) SendMessageA(arr, msg, wParam, 0);
}

// Commands by id range; false for an id of none.
bool RangeCommand(uint32_t id) {
  if (id >= 41500 && id <= 41547) {
    static const int kTools[48] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 46,
                                   11, 12, 13, 45, 14, 27, 15, 16, 17, 18, 19, 20,
                                   21, 48, 22, 44, 23, 24, 25, 31, 47, 32, 33, 34,
                                   35, 26, 28, 29, 30, 37, 38, 39, 40, 41, 42, 43};
    ToolSelect(1, kTools[id - 41500]);
    return true;
  }
  if (id >= 41320 && id <= 41335) {
    EopRunTool(mainWnd, id);
    return true;
  }
  if (id >= 41410 && id <= 41415) {
    TransportCommand(static_cast<int>(id - 41410 + 6));
    TransportCommand(12);
    return true;
  }
  if (id >= 41421 && id <= 41427) {
    TransportButton(id - 41421);
    return true;
  }
  if (id >= 41442 && id <= 41461) {
    GlobalCommand(id);
    return true;
  }
  if (id >= 41550 && id <= 41553) {
    static const WPARAM kButtons[4] = {1, 2, 4, 5};
    ArrangeMessage(WMU_CTL_LBUTTONDOWN, kButtons[id - 41550]);
    ArrangeMessage(WMU_CTL_LBUTTONUP, kButtons[id - 41550]);
    return true;
  }
  if (id >= 42554 && id <= 42557) {
    static const UINT kMsgs[4] = {WM_HSCROLL, WM_HSCROLL, WM_VSCROLL, WM_VSCROLL};
    static const WPARAM kCodes[4] = {SB_PAGELEFT, SB_PAGERIGHT, SB_LINEUP, SB_LINEDOWN};
    ArrangeMessage(kMsgs[id - 42554], kCodes[id - 42554]);
    return true;
  }
  if ((id >= 41608 && id <= 41614) || id == 41800) {
    if (id != 41800 || WndTable[kToolWnd]) SetupDialog(mainWnd, id);
    return true;
  }
  if ((id >= 41000 && id <= 41004) || (id >= 41008 && id <= 41011) ||
      (id >= 41015 && id <= 41018) || (id >= 41900 && id <= 41908)) {
    if (id == 41015 || id == 41016) VideoCommand(mainWnd, id);
    else DocCommand(mainWnd, id);
    return true;
  }
  if (id >= 44000 && id <= 44127) {
    MutedSoloMidiOut = static_cast<int32_t>(id - 43999);
    MainMenuCheckRadio(44000, 44127, id);
    return true;
  }
  if (id >= 46000 && id <= 46191) {
    MutedSoloAudOut = static_cast<int32_t>(id - 45999);
    MainMenuCheckRadio(46000, 46191, id);
    return true;
  }
  if (id >= 45040 && id <= 45055) {
    AesSrcToggle(id);
    return true;
  }
  return ColourCommand(id);
}

bool SingleCommand(uint32_t id) {
  switch (id) {
    case 40490: VideoSync(); return true;
    case 40506: case 40507: case 40508: case 40509: SyncOutToggle(id - 40506); return true;
    case 40510:
      Settings().SnapEnable = !Settings().SnapEnable;
      CheckItem(40510, static_cast<int32_t>(Settings().SnapEnable));
      StatusUpdate(0, static_cast<uint32_t>(RadioValue(kGrpSnap)), 1);
      return true;
    case 40511: case 40512: TriggerOnly(id == 40511); return true;
    case 41400: PostMessageA(mainWnd, WM_CLOSE, 0, 0); return true;
    case 41416: TransportCommand(0); return true;
    case 41417: TransportCommand(1); return true;
    case 41418: TransportCommand(3); TransportCommand(5); return true;
    case 41419: TransportCommand(13); return true;
    case 41420: TransportCommand(15); return true;
    case 41428: PlayRecModeBit(kModeOption3, 41428); return true;
    case 41429: PlayRecModeBit(kModeOption4, 41429); return true;
    case 41430: SeamlessLoopToggle(); return true;
    case 41431: case 41432: RecReady(id == 41431); return true;
    case 41440: case 41441:
      if (id == 41440 ? UndoApply(1) : RedoApply()) AfterUndo();
      return true;
    case 41548: case 41549: if (WndTable[kArrangeWnd]) ArrZoomStep(id == 41548); return true;
    case 41558: MixEditModeCmd(); return true;
    case 41559: MixAutomationEnableCmd(); return true;
    case 41560: MixDelayCompCmd(); return true;
    case 41561: MixAutomRecordCmd(CurMixDoc()); return true;
    case 41600: VarispeedPrompt(); return true;
    case 41790: case 41791:
      ProChStat = id == 41791;
      MainMenuCheckRadio(41790, 41791, id);
      SendSampleRate(4);
      return true;
    case 41792: case 41793:
      UseNumSpExt = id == 41793;
      MainMenuCheckRadio(41792, 41793, id);
      return true;
    case 41814: Console(); return true;
    case 41826: case 41827: AlignOutputs(id == 41826); return true;
    case 41828: BufSizePrompt(); return true;
    case 41833: UndoLevelsPrompt(); return true;
    case 41834: AutoSavePrompt(); return true;
    case 41837: case 41838: BigClockCommand(mainWnd, id); return true;
    case 41839: ToggleTopmost(0, id); return true;
    case 41842: ToggleTopmost(1, id); return true;
    case 41843: ToggleTopmost(2, id); return true;
    case 41845: ToggleTopmost(3, id); return true;
    case 41840: case 41841: VideoCommand(mainWnd, id); return true;
    case 41844:
      RecBtnEnable = !RecBtnEnable;
      CheckItem(41844, RecBtnEnable);
      NinePinSetRecBtnEnable(RecBtnEnable);
      return true;
    case 41846: ArrGlobalCommand(id); return true;
    case 41847: TempoFromLocs(); return true;
    case 41848:
      if (UnitsConfigDialog()) MessageBoxById(mainWnd, IDS_UNIT_CONFIG_CHANGED, MB_ICONINFORMATION);
      return true;
    case 41849: SaveMainSettings(); return true;
    case 42300: ToolWindow(); return true;
    case 42318: case 42319: MixerWindow(id == 42318); return true;
    case 42321: DoDialog(mainWnd, "ABOUT", AboutDlgProc); return true;
    case 42322: OpenProgramFile("HRL Mixer Readme.txt"); return true;
    case 42323: OpenProgramFile("HRL Mixer Manual.pdf"); return true;
    default: return false;
  }
}

}  // namespace

int MainCmdDispatch(HWND wnd, UINT command) {
  mainWnd = wnd;
  const uint32_t id = command & 0xFFFF;
  int group = 0;
  const int unit = UnitGroupOf(id, &group);
  if (unit >= 0) {
    // The fourth master-clock id of each unit has no item.
    if (group == kUgMClk && id == UnitFirstId(UnitGroups[kUgMClk], unit) + 3) return 0;
    UnitChoice(group, unit, id);
    return 1;
  }
  return RadioCommand(id) || ToggleCommand(id) || SingleCommand(id) || RangeCommand(id) ? 1 : 0;
}

// Shell services the model calls.
uint32_t GetSyncIn() { return static_cast<uint32_t>(RadioValue(kGrpSyncIn)); }
uint32_t GetRecResol() { return static_cast<uint32_t>(RadioValue(kGrpRecResol)); }
// windows.h names a function of its own GetTimeFormat.
#undef GetTimeFormat
uint32_t GetTimeFormat() { return static_cast<uint32_t>(RadioValue(kGrpTimebar)); }
uint32_t GetScrubMode() { return static_cast<uint32_t>(RadioValue(kGrpScrubMode)); }
int32_t GetScrubWind() { return ScrubWind; }
int32_t GetMutedSoloAudOut() { return MutedSoloAudOut; }
int32_t GetMutedSoloMidiOut() { return MutedSoloMidiOut; }
uint32_t GetMClkUnit(int unit) {
  if (unit < 0 || unit >= 4) return kClockInternal;
  return static_cast<uint32_t>(UnitGroups[kUgMClk].value[unit]);
}
const char* GetWvFormFilePath() { return Folders[kFolderWvForm]; }
