// The main frame: its creation brings the program up, its destruction takes
// it down; it lays out the bars inside it, moves the free-standing windows
// with it and turns the marker keys into marker and locator edits.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "logs/services.h"
#include "mixer/arrange/services.h"
#include "mixer/mix/services.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/blockheap.h"
#include "mixer/model/host.h"
#include "mixer/model/ini.h"
#include "mixer/model/inirecords.h"
#include "mixer/model/marker.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/win32/datetime.h"
#include "mixer/model/take.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/trkcolors.h"
#include "mixer/model/undo.h"
#include "mixer/model/win32/appwnd.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/model/win32/draw.h"
#include "mixer/model/wvfcache.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/markerkeys.h"
#include "mixer/shell/services.h"
#include "mixer/shell/timer.h"
#include "mixer/shell/unitopts.h"
#include "mixer/shell/win32/mainwnd.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/win32/smallwnd.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

constexpr int kToolBarHeight = 31;
constexpr int kStatusBarHeight = 21;
constexpr int kTapeTransHeight = 29;
constexpr int kFontCount = 9;
constexpr int kCursorCount = IDC_LAST_CURSOR - IDC_FIRST_CURSOR + 1;
// Passes of the unit checks after sync-board updates; a board that claims
// to be updated every time must not keep start-up in the loop.
constexpr int kMaxFlashPasses = 4;

struct FrameResources {
  HFONT fonts[kFontCount] = {};
  HCURSOR systemCursors[7] = {};
  HCURSOR cursors[kCursorCount] = {};
  HANDLE unitHeap = nullptr;
  int syncBoards[kMaxUnits] = {};
};
FrameResources res;

int32_t markerAcc = 0;
int32_t lastMarkerNumber = 0;

void CreateTooltipWindow(HWND wnd) {
  WndTable[kTooltipWnd] = CreateWindowExA(
      WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
      Shell().instance, nullptr);
}

void LoadFontsAndCursors() {
  for (int i = 0; i < kFontCount; ++i) res.fonts[i] = CreateAppFont(i);
  static const LPCSTR kSystem[7] = {IDC_ARROW,    IDC_WAIT,     IDC_SIZEWE, IDC_SIZENS,
                                    IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEALL};
  for (int i = 0; i < 7; ++i) res.systemCursors[i] = LoadCursorA(nullptr, kSystem[i]);
  for (int i = 0; i < kCursorCount; ++i)
    res.cursors[i] = LoadCursorA(Shell().instance, MAKEINTRESOURCEA(IDC_FIRST_CURSOR + i));
}

// The unit layer's work heap and the heaps of the arrangement and the marker
// list; all three or none.
void DestroyHeaps() {
  UndoForgetAll();  // its copies lived in the arrangement's and markers' heaps
  ArrHeap.Destroy();
  MrkHeap.Destroy();
  if (res.unitHeap) HeapDestroy(res.unitHeap);
  res.unitHeap = nullptr;
}

bool CreateHeaps() {
  res.unitHeap = HeapCreate(0, 0, 0);
  if (res.unitHeap && ArrHeap.Create() && MrkHeap.Create()) return true;
  DestroyHeaps();
  return false;
}

void FreeFontsAndCursors() {
  for (HFONT& f : res.fonts) {
    if (f) DeleteObject(f);
    f = nullptr;
  }
  for (HCURSOR& c : res.cursors) {
    if (c) DestroyCursor(c);
    c = nullptr;
  }
}

// The unit checks, again from the hardware check while a sync board was
// updated by the flash pass.
int RunUnitChecks() {
  int query = Shell().sw.SyncFlashQuery;
  for (int pass = 0; pass < kMaxFlashPasses; ++pass) {
    int updated = 0;
    if (!CheckUnitsHardware() || !LoadUnitsDspProgram(0) || !CheckUnitsStatus() ||
        !LoadUnitsDspProgram(0x1000) || !CheckUnitsState() || !CheckUnitsDspMask(res.syncBoards) ||
        !UpdateSyncBoards("9PSXIL.BIN", "9PS051.BIN", res.syncBoards, query, &updated))
      return 0;
    Shell().sw.SyncFlashQuery = query = 0;
    if (!updated) return 1;
  }
  return 1;
}

int CheckSyncBoards() {
  const int count = UnitCount();
  for (int unit = 0; unit < count && unit < kMaxUnits; ++unit) {
    if (!res.syncBoards[unit]) continue;
    if (CardLockState(unit) < 2) {
      MessageBoxById(nullptr, IDS_SYNC_BOARD_MOTHERBOARD, MB_ICONINFORMATION, unit + 1);
      return 0;
    }
    if (unit > 0) MessageBoxById(nullptr, IDS_SYNC_BOARD_FIRST_ONLY, MB_ICONINFORMATION);
  }
  return 1;
}

// The model's folders: Take search folders and the modules' folders, each
// made absolute against the program's folder.
void ReadModuleFolder(uint32_t key, char* out) {
  char dir[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) dir[0] = 0;
  if (char* name = std::strrchr(dir, '\\')) name[1] = 0;
  char value[MAX_PATH] = {};
  ReadIniString(Shell().iniPath, IDS_INI_SEC_MAIN_WND, key, value, sizeof value);
  if (std::strlen(dir) + std::strlen(value) >= MAX_PATH) {
    out[0] = 0;
    return;
  }
  std::snprintf(out, MAX_PATH, "%s%s", value[1] == ':' || value[0] == '\\' ? "" : dir, value);
}

void SetTakeFolders() {
  for (int i = 0; i < 8; ++i) {
    char dir[MAX_PATH] = {};
    ReadIniString(Shell().iniPath, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_DOMAIN_DIRECTORY1 + i, dir,
                  sizeof dir);
    TakeSetDomainDirectory(i, dir);
  }
}


// The engines and libraries get the project's rates and settings.
void StartLibraries() {
  const ProjectSettings& p = Settings();
  VideoSetSampleRate(p.SampleRate);
  SFManStartHook();
  QVMXA_Init();
  QVMIV_Init();
  QVMXA_SetTouchTimeout(p.AutoTouchTimeout);
  QVMXA_SetFadeResolTime(static_cast<uint32_t>(Shell().sw.FadeResolTime));
  QVMXA_SetMatchTime(p.AutoReturnTime);
  MxaSetRecordMode(p.AutoRecMode, p.AutoFlags);
  NatDevSetSrate(p.SampleRate);
  QVMXA_SetSampleRate(p.SampleRate);
  QVMIV_SetSampleRate(p.SampleRate);
}

// The play lists, automation play maps and MIDI play buffers of the
// current arrangement, built and primed at the now position.
void PrimePlayback() {
  const int32_t now = Locs().NowLoc;
  RebuildAndPrepPlayLists(CurArr, now);
  MxaRefreshAfterEdit(CurArr, CurMixDoc(), now);
  MidiRebuildAndPrep(CurArr, now);
}

void StartSync(HWND wnd) {
  const ProjectSettings& p = Settings();
  const char* ini = Shell().iniPath;
  SyncInDropOut = ReadIniInt(ini, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SYNC_IN_DROP_OUT, 30000, 0,
                             960000);
  ReadSyncInVitcDec(SyncInVITCDec);
  SyncOutBITCPos = ReadIniInt(ini, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SYNC_OUT_BITCPOS, 1, 1, 10);
  CardsSyncCommand(p.SampleRate, 0, -1, 0, 0, 0);
  UnitsSetSampleRate(3, p.SampleRate, static_cast<int32_t>(p.SyncSource), 0);
  UnitsSetSync();
  NatDevSetTimeCodeStatics(p.CurFrameRate, p.TcOffset);
  QVMIV_SetTimeCodeOffset(p.TcOffset);
  UnitsSetPlayFlags(0);
  UnitsSetLoop(0, 0, 0);
  PrimePlayback();
  EopUpdateMenu(wnd);
  DrawMenuBar(wnd);
  SyncInMTCQF48 = ReadIniInt(ini, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SYNC_IN_MTCQF48, 0, 0, 1);
  const int units = UnitCount();
  for (int n = 0; n < units && n < kMaxUnits; ++n)
    UnitSetOptionFlags(n, UnitOptionFlags(ReadMidiCfgUnit(n + 1), SyncInMTCQF48));
}

// Radio checks of the project's sample rate and frame rate.
void CheckRates() {
  static const uint32_t kRates[11] = {22050, 32000, 44056, 44100, 47952, 48000,
                                      64000, 88112, 88200, 95904, 96000};
  for (uint32_t i = 0; i < 11; ++i)
    if (kRates[i] == Settings().SampleRate) MainMenuCheckRadio(41580, 41590, 41580 + i);
  static const uint32_t kFrameCodes[6] = {24, 25, 30, 28, 29, 31};  // 41601..41606
  for (uint32_t i = 0; i < 6; ++i)
    if (kFrameCodes[i] == Settings().CurFrameRate) MainMenuCheckRadio(41601, 41606, 41601 + i);
}

int OnCreate(HWND wnd, const CREATESTRUCTA* cs) {
  WndTable[kMainWnd] = wnd;
  CreateTooltipWindow(wnd);
  LoadFontsAndCursors();
  if (!CreateHeaps()) {
    MessageBoxById(nullptr, IDS_HEAP_CREATE_FAILED, MB_ICONEXCLAMATION);
    return -1;
  }
  VideoSetIniFile(Shell().iniPath);
  ReadTrkColors();
  SendMessageA(wnd, WM_COMMAND, kCmdOpenToolBar, 0);
  ReadRememberedFolders();
  if (!RunUnitChecks()) return -1;
  if (!LoadUnitsDspProgram(0x200) || !CheckCardsDsp() || !InitCardsMixDsp()) return -1;
  if (!CheckSyncBoards()) return -1;

  Shell().startupComplete = 1;
  UnitsStartClocks();
  NatDevSetFadeCurves();
  MainMenuTailor();
  DrawMenuBar(wnd);
  TakeStoreOpen();
  SetTakeFolders();
  WriteExitStatus(0);
  uint32_t error = 0;
  CurArr = ArrNew(&error);
  if (CurArr) CurMrkList = MrkListNew(&error);
  if (!CurArr || !CurMrkList) {
    MessageBoxById(nullptr, error, MB_ICONEXCLAMATION);
    TakeStoreClose();
    return -1;
  }
  char folder[MAX_PATH];
  ReadModuleFolder(IDS_INI_KEY_MIX_ELEM_LIB_PATH, folder);
  MixLoadElemLibs(folder);
  ReadModuleFolder(IDS_INI_KEY_MIX_ELEM_LIB_PATH2, folder);
  MixLoadElemLibs(folder);
  ReadModuleFolder(IDS_INI_KEY_EXVORA_LIB_PATH, folder);
  ExvScanModules(folder);
  ArrSyncTakeRefs(CurArr, 0);
  StartLibraries();
  StartSync(wnd);
  NgtSetDefaults();

  SplashDestroy();
  ShowWindow(wnd, cs->lpCreateParams ? *static_cast<int*>(cs->lpCreateParams) : SW_SHOWNORMAL);
  UpdateWindow(wnd);
  ArrReadStartSettings();
  SFManSettingsHook();
  MixDocCreateCurrent();
  CheckRates();
  RestoreOptions(wnd);
  DocOpenLastMix();
  // The arrangement shows in the arrange window from the start.
  ArrCreateWnd(wnd);
  if (ReadIniInt(Shell().iniPath, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_STATUS_BAR, 0, 0, 1))
    ShellWindowToggle(wnd, 42303);
  SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  if (WndTable[kMixWnd]) SetFocus(WndTable[kMixWnd]);
  if (Shell().sw.StartMode == 3) TransportCommand(13);
  if (Shell().sw.StartMode == 4) TransportCommand(15);
  return 0;
}

void OnDestroy() {
  if (TempoMap) {
    TempoMapFree(TempoMap);
    TempoMap = nullptr;
  }
  VideoCloseFile();
  if (res.syncBoards[0]) NinePinSetMode(40900);
  if (!KeepWvFrmFiles) WvfCachePurge(GetWvFormFilePath());
  DocWriteLastFiles();
  MixDocDestroyCurrent();
  MixDspLayoutFree();
  TakeStoreClose();
  ResetCardsMixDsp();
  if (CurMrkList) MrkHeap.Free(CurMrkList);
  if (CurArr) ArrHeap.Free(CurArr);
  CurMrkList = nullptr;
  CurArr = nullptr;
  ExvFreeModules();
  FreeFontsAndCursors();
  if (ConsoleEnable) QVCIN_UnRegisterConsole();
  ConsoleEnable = 0;
  DestroyHeaps();
  if (WndTable[kTooltipWnd]) DestroyWindow(WndTable[kTooltipWnd]);
  WndTable[kTooltipWnd] = nullptr;
  WndTable[kMainWnd] = nullptr;
  PostQuitMessage(0);
}

void StopTransport() {
  if (TransportState() == kTransportStopped) return;
  TransportCommand(3);
  TransportCommand(5);
}

void OnClose(HWND wnd) {
  StopTransport();
  if (DocCloseQuery()) DestroyWindow(wnd);
  WriteExitStatus(1);
}

LRESULT OnQueryEndSession() {
  StopTransport();
  if (AppWindowsDisabled()) {
    MessageBoxById(nullptr, IDS_CANT_ABORT, MB_ICONEXCLAMATION);
    return 0;
  }
  return DocCloseQuery() ? 1 : 0;
}

// Moves a free-standing window by the frame's move.
void MoveBy(WndId id, int dx, int dy, bool onlyNormal) {
  HWND w = WndTable[id];
  if (!w) return;
  if (onlyNormal && (IsIconic(w) || IsZoomed(w))) return;
  RECT r;
  GetWindowRect(w, &r);
  MoveWindow(w, r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top, TRUE);
}

void OnMove(HWND wnd) {
  if (IsIconic(wnd) || IsZoomed(wnd)) return;
  RECT r;
  GetWindowRect(wnd, &r);
  int dx = r.left - Shell().lastX, dy = r.top - Shell().lastY;
  Shell().lastX = r.left;
  Shell().lastY = r.top;
  for (WndId id : {kArrangeWnd, kFileManagerWnd, kMrkDirWnd}) MoveBy(id, dx, dy, true);
  for (WndId id : {kDirWnd, kAudBufWnd, kBigClocWnd, kVideoWnd, k9PinWnd}) MoveBy(id, dx, dy, false);
}

void OnSize(HWND wnd) {
  RECT c;
  GetClientRect(wnd, &c);
  const int w = c.right - c.left;
  const UINT sizeOnly = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
  if (WndTable[kToolWnd]) SetWindowPos(WndTable[kToolWnd], nullptr, 0, 0, w, kToolBarHeight, sizeOnly);
  if (WndTable[kStatusBar])
    SetWindowPos(WndTable[kStatusBar], nullptr, 0, 0, w, kStatusBarHeight, sizeOnly);
  if (WndTable[kMixWnd]) SetWindowPos(WndTable[kMixWnd], nullptr, 0, 0, w, c.bottom - 32, sizeOnly);
  if (WndTable[kTapeTransBar])
    SetWindowPos(WndTable[kTapeTransBar], nullptr, c.left, c.bottom - kTapeTransHeight, w,
                 kTapeTransHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void FillRectColour(HDC dc, const RECT& r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

// Until the tool bar and the mixer window exist, their places show the
// skin's colours, so that the frame looks as it will around them.
void PaintEmptyBars(HDC dc, const RECT& c) {
  const SkinColours& skin = Shell().skin;
  if (!WndTable[kToolWnd]) {
    RECT bar = {c.left, c.top + 1, c.right, c.top + kToolBarHeight};
    FillRectColour(dc, bar, skin.toolBackground);
    DrawLine(dc, skin.toolBorderTop, bar.left, bar.top, bar.right, bar.top);
    DrawLine(dc, skin.toolBorderBottom, bar.left, bar.bottom - 1, bar.right, bar.bottom - 1);
  }
  if (!WndTable[kMixWnd]) {
    RECT mix = {c.left, c.top + kToolBarHeight, c.right, c.bottom};
    FillRectColour(dc, mix, skin.mixBackground);
  }
}

void OnPaint(HWND wnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  PaintEmptyBars(dc, c);
  DrawLine(dc, GetSysColor(COLOR_BTNSHADOW), c.left, c.top, c.right, c.top);
  RECT f = c;
  if (WndTable[kToolWnd]) f.top += kToolBarHeight;
  if (WndTable[kStatusBar]) f.top += kStatusBarHeight;
  if (WndTable[kTapeTransBar]) f.bottom -= kTapeTransHeight;
  f.right -= 1;
  f.bottom -= 1;
  Draw3dFrame(dc, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT), f.left, f.top,
              f.right, f.bottom);
  Draw3dFrame(dc, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT), f.left + 1,
              f.top + 1, f.right - 1, f.bottom - 1);
  EndPaint(wnd, &ps);
}

// The current position for marker and locator keys.
int32_t CurrentPosition() {
  int mode = ConsoleMotionMode();
  return (mode == 1 || mode == 4) ? Locs().NowLoc : GetCurrentLoc();
}

void PlaceMarker(bool move) {
  if (!CurMrkList) return;
  uint32_t from = MarkerKeySearchFrom(markerAcc);
  uint32_t n = move ? MrkFirstUsed(CurMrkList, from) : MrkFirstFree(CurMrkList, from);
  if (n < 1 || n > static_cast<uint32_t>(kMarkerKeyMax)) return;
  UndoRecord(move ? IDS_UNDO_MOVE : IDS_UNDO_CREATE);
  MrkEdit(move ? kMrkEditMove : kMrkEditAdd, n, CurrentPosition());
  markerAcc = MarkerKeyAfterUse(n);
}

void SetLocatorKey(bool right) {
  int32_t position = CurrentPosition();
  if (markerAcc > 0) {
    position = MrkGetLoc(CurMrkList, static_cast<uint32_t>(markerAcc));
    markerAcc = 0;
  }
  SetLocator(right ? kLocRightPrime : kLocLeftPrime, position);
}

void Varispeed(int step) {
  if (GetMClkUnit(0) != 40408 || VSyncedMClk) return;
  if (!SyncInTrigOnly && GetSyncIn() != 40501) return;
  int32_t v = static_cast<int32_t>(Settings().SyncSource) + step;
  v = v < -1000 ? -1000 : (v > 1000 ? 1000 : v);
  SetArrParam(1, static_cast<uint32_t>(v));
}

// The frame's own keyboard commands; false for every other id.
bool LocalCommand(UINT id) {
  // The frame opens and closes its free-standing windows itself: the status
  // bar (42303), 42310 the arrange window, and 42311..42315 the directory,
  // file-manager, marker directory, audio-buffer and big-clock windows.
  // 42316 (video) and 42317 (9-pin) belong to windows this program does not
  // open by command: taken here so that they do nothing.
  if (id == 42310) {
    if (HWND arrange = ArrFrameWnd())
      DestroyWindow(arrange);
    else
      ArrCreateWnd(WndTable[kMainWnd]);
    return true;
  }
  if (id == 42303 || (id >= 42311 && id <= 42317)) {
    ShellWindowToggle(WndTable[kMainWnd], id);
    return true;
  }
  if (id >= 42390 && id <= 42399) {
    markerAcc = MarkerKeyDigit(markerAcc, static_cast<int>(id - 42390));
    return true;
  }
  switch (id) {
    case 42400: PlaceMarker(false); return true;
    case 42401: PlaceMarker(true); return true;
    case 42402: SetLocatorKey(false); return true;
    case 42403: SetLocatorKey(true); return true;
    case 42404: Varispeed(10); return true;
    case 42405: Varispeed(-10); return true;
    case 42406: ArrScrollToLoc(CurrentPosition()); return true;
    case 42407:
      lastMarkerNumber = markerAcc;
      markerAcc = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace

int32_t MarkerKeyAccumulator() { return markerAcc; }

LRESULT CALLBACK MainWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      return OnCreate(wnd, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_MOVE:
      OnMove(wnd);
      return 0;
    case WM_SIZE:
      OnSize(wnd);
      return 0;
    case WM_SETFOCUS:
      if (WndTable[kMixWnd]) SetFocus(WndTable[kMixWnd]);
      return 0;
    case WM_PAINT:
      OnPaint(wnd);
      return 0;
    case WM_CLOSE:
      OnClose(wnd);
      return 0;
    case WM_QUERYENDSESSION:
      return OnQueryEndSession();
    case WM_SETTINGCHANGE:
      ReadIntlTime();  // the time texts follow the user's format
      return 0;
    case WM_ACTIVATEAPP:
      if (WndTable[kTooltipWnd]) SendMessageA(WndTable[kTooltipWnd], TTM_ACTIVATE, wParam, 0);
      return 0;
    case WM_GETMINMAXINFO:
    case WM_NCLBUTTONDBLCLK:
      if (WndTable[kMixWnd]) SendMessageA(WndTable[kMixWnd], msg, wParam, lParam);
      if (msg == WM_GETMINMAXINFO && !WndTable[kMixWnd]) break;
      return 0;
    case WM_INITMENU:
      MainMenuInit(wnd);
      return 0;
    case WM_SIZING:
      if (WndTable[kMixWnd]) SendMessageA(WndTable[kMixWnd], msg, wParam, lParam);
      return 1;
    case WM_COMMAND:
      if (LocalCommand(LOWORD(wParam))) return 0;
      if (MainCmdDispatch(wnd, LOWORD(wParam))) return 0;
      break;
    default:
      break;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

int FatalDspError(HANDLE device, int code) {
  if (!Shell().startupComplete || FatalErrorState) return 0;
  FatalErrorState = 1;
  char text[512];
  int unit = UnitOfDevice(device);
  int n = std::snprintf(text, sizeof text, StrText(unit < 0 ? IDS_CARD_COMM_ERROR : IDS_UNIT_COMM_ERROR),
                        unit < 0 ? -unit : unit);
  if (n < 0 || n >= static_cast<int>(sizeof text)) n = 0;
  std::snprintf(text + n, sizeof text - n, "\n\nDSP FUNCTION ERROR CODE: %d\n(%s)", code,
                GetLastErrorText());
  MessageBoxText(nullptr, "%s", MB_ICONEXCLAMATION, text);
  DWORD lastError = GetLastError();
  DocCloseQuery();
  if (WndTable[kMainWnd]) DestroyWindow(WndTable[kMainWnd]);
  ReleaseProcessServices();
  ExitProcess(lastError);
}
