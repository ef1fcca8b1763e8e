// The document commands on the Windows side: the file and folder dialogs,
// the arrangement read dialog and writer, the mix file, the tempo map
// import and removal, the last files remembered at shutdown, and the host
// that the document rules run over.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/services.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/mix/mixfile.h"
#include "mixer/mix/services.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrfile.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/docnames.h"
#include "mixer/model/host.h"
#include "mixer/model/ini.h"
#include "mixer/model/marker.h"
#include "mixer/model/mrkdir.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/tempoimport.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/arrfiledlg.h"
#include "mixer/model/win32/filedlg.h"
#include "mixer/shell/docs.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

HWND Main() { return WndTable[kMainWnd]; }

void Rebuild() {
  RebuildAndPrepPlayLists(CurArr, Locs().NowLoc);
  MxaRefreshAfterEdit(CurArr, CurMixDoc(), Locs().NowLoc);
  MidiRebuildAndPrep(CurArr, Locs().NowLoc);
}

// The tempo and map that the last tempo-map import set aside; a merge
// takes that tempo.
bool tempoAside = false;
uint32_t asideTempo = 0;

class WinDocHost : public DocHost {
 public:
  int Ask(uint32_t id, uint32_t flags) override { return MessageBoxById(Main(), id, flags); }
  int SaveDialog(char* path, int size, int keepName, int mix) override {
    return FileDialogById(kFileDlgSave, OFN_OVERWRITEPROMPT, keepName, path, size,
                          mix ? IDS_MIX_FILTER : IDS_ARR_FILTER, mix ? IDS_MIX_EXT : IDS_ARR_EXT, Main());
  }
  void CurrentDir(char* out, int size) override {
    const DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size - 1), out);
    if (n == 0 || n >= static_cast<DWORD>(size - 1)) {
      out[0] = '\0';
      return;
    }
    if (out[n - 1] != '\\') std::strcat(out, "\\");
  }
  int ArrNew(uint32_t* error) override {
    ArrRec* arr = ::ArrNew(error);
    if (!arr) return 0;
    MrkList* markers = MrkListNew(error);
    if (!markers) {
      ArrHeap.Free(arr);
      SetLocator(1, 0);
      return 0;
    }
    ArrRec* oldArr = CurArr;
    MrkList* oldMarkers = CurMrkList;
    CurArr = arr;
    CurMrkList = markers;
    if (oldArr) ArrHeap.Free(oldArr);
    if (oldMarkers) MrkHeap.Free(oldMarkers);
    return 1;
  }
  void ArrAfterNew(int refreshTakes) override {
    UndoDiscard(0);
    if (refreshTakes) ArrSyncTakeRefs(CurArr, 1);
    ArrRedrawWindows();
    MrkDirRefresh(kMrkDirRebuild, 0);
    MixSyncRecTrkAssign();
    Rebuild();
    SetLocator(1, 0);
  }
  int ArrRead(const char* path, int merge, uint32_t* warning) override {
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    uint32_t error = 0;
    int ok;
    if (!merge) {
      ArrReadRequest r = {path, &CurArr, &CurMrkList, 1, nullptr, &error};
      ok = ReadArrFileDlg(r);
    } else {
      ArrRec* loaded = nullptr;
      MrkList* markers = nullptr;
      ArrReadRequest r = {path, &loaded, &markers, 0, nullptr, &error};
      ok = ReadArrFileDlg(r);
      if (ok) {
        if (markers) MrkHeap.Free(markers);
        UndoDiscard(0);
        // Only a tempo that an import set aside replaces the current one.
        if (tempoAside) SetArrParam(4, asideTempo);
        uint32_t appendError = 0;
        CurArr = ArrAppendArr(CurArr, loaded, &appendError);
        if (appendError) error = appendError;
        if (loaded) ArrHeap.Free(loaded);
      }
    }
    SetCursor(old);
    *warning = error;
    return ok;
  }
  void ArrAfterRead(int merge) override {
    if (!merge) {
      UndoDiscard(0);
      ArrSyncTakeRefs(CurArr, 1);
      if (TempoMap && ArrHasTempoMidiParts() &&
          MessageBoxById(Main(), IDS_ADJUST_MIDI_PARTS, MB_YESNO | MB_ICONQUESTION) == IDYES)
        ArrRetimeMidiParts();
      MixSyncRecTrkAssign();
    } else {
      ArrSyncTakeRefs(CurArr, 1);
    }
    Rebuild();
    ArrRedrawWindows();
    MrkDirRefresh(kMrkDirRebuild, 0);
    if (!merge) SetLocator(1, 0);
  }
  void ArrReadFailed() override { SetLocator(1, 0); }
  int ArrWrite(const char* path, int selectedOnly) override {
    return WriteArrFile(path, CurArr, CurMrkList, selectedOnly);
  }
  int ArrSelectedParts() override {
    return CurArr ? static_cast<int>(ArrCountSelParts(CurArr, kArrCountAll, 0)) : 0;
  }
  void ArrClearSelection() override {
    if (CurArr) ::ArrClearSelection(CurArr, nullptr, 1);
  }
  void ArrSetCaption() override { ArrRedrawWindows(); }
  int KeepSelection() override { return KeepSel; }
  int MixWrite(const char* path) override {
    MixDoc* doc = CurMixDoc();
    return doc && MixWriteFile(doc, path);
  }
  int MixRead(const char* path) override { return MixOpenCurrent(path); }
  void MixNew() override { MixDocCreateCurrent(); }
  int DetectElemChanges() override { return DetMixElemChanges; }
  int MixElemsChanged() override { return MixElemStatesChanged(); }
  void MixSnapshot() override { MixSnapshotStates(); }
  void MainCaption() override { MixUpdateMainCaption(); }
};

WinDocHost host;

void UseHost() { DocSetHost(&host); }
}  // namespace

void DocUseWinHost() { UseHost(); }

namespace {

// The record/process folder and the eight domain folders.
char domainFolders[9][MAX_PATH];
bool foldersRead = false;

void ReadFolders() {
  if (foldersRead) return;
  foldersRead = true;
  for (int i = 0; i < 9; ++i)
    ReadIniString(Shell().iniPath, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_RECORD_PROCESS_DIRECTORY + i,
                  domainFolders[i], MAX_PATH);
}

void FolderCommand(uint32_t id) {
  ReadFolders();
  const int n = static_cast<int>(id - 41900);
  char folder[MAX_PATH];
  std::snprintf(folder, sizeof folder, "%s", domainFolders[n]);
  if (!BrowseFolder(folder, sizeof folder, IDS_SELECT_RECPROC_FOLDER + static_cast<uint32_t>(n))) return;
  std::snprintf(domainFolders[n], MAX_PATH, "%s", folder);
  if (n > 0) TakeSetDomainDirectory(n - 1, folder);
  else ProcSetFolder(folder);
  char text[MAX_PATH + 64];
  if (n == 0) std::snprintf(text, sizeof text, StrText(IDS_RECPROC_FOLDER_ITEM), folder);
  else std::snprintf(text, sizeof text, StrText(IDS_DOMAIN_FOLDER_ITEM), n, folder);
  MainMenuSetItem(id, text, 1);
}

// Tempo map refresh after an import (ask) or a removal (no question).
void TempoRefresh(bool imported, TempoMapRec* aside) {
  TransportShowNowBars();
  TransportShowTempo(1);
  MixSendTempoToElems();
  ArrRedrawWindows();
  if (RadioValue(kGrpTimebar) == 40518) {
    TransportShowLeftLoc();
    TransportShowRightLoc();
  }
  if (ArrHasTempoMidiParts()) {
    const bool yes = !imported || MessageBoxById(Main(), IDS_ADJUST_MIDI_PARTS, MB_YESNO | MB_ICONQUESTION) == IDYES;
    if (yes && ArrRetimeMidiParts()) {
      RebuildAndPrepPlayLists(CurArr, Locs().NowLoc);
      MxaRefreshAfterEdit(CurArr, CurMixDoc(), Locs().NowLoc);
    }
  }
  MidiRebuildAndPrep(CurArr, Locs().NowLoc);
  ArrRedrawWindows();
  if (aside) TempoMapFree(aside);
  MrkDirRefresh(kMrkDirRebuild, 0);
  UnitsSetPlayFlags(static_cast<uint32_t>(SyncOut));
  UnitsLocate(Locs().NowLoc);
}

void TempoImport() {
  char* path = Folders[kFolderMidi];
  if (!FileDialogById(kFileDlgOpen, OFN_FILEMUSTEXIST, 0, path, sizeof Folders[kFolderMidi], IDS_MIDI_FILTER,
                      IDS_MIDI_EXT, Main()))
    return;
  TempoMapRec* aside = TempoMap;
  ArrPrevTempo = {aside, Settings().Tempo, Settings().SampleRate};
  tempoAside = true;
  asideTempo = Settings().Tempo;
  TempoMap = ImportTempoMap(path);
  if (!TempoMap) MessageBoxById(Main(), IDS_NO_TEMPO_MAP, MB_ICONEXCLAMATION);
  TempoRefresh(true, aside);
}

void TempoRemove() {
  if (!TempoMap) return;
  TempoMapRec* aside = TempoMap;
  ArrPrevTempo = {aside, Settings().Tempo, Settings().SampleRate};
  TempoMap = nullptr;
  TempoRefresh(false, aside);
}

}  // namespace

void DocCommand(void* mainWnd, uint32_t id) {
  UseHost();
  HWND wnd = static_cast<HWND>(mainWnd);
  switch (id) {
    case 41000:
      ArrNewCmd(1);
      return;
    case 41001: {
      if (ArrSavePrompt() == kIdCancel) return;
      char path[MAX_PATH];
      if (ArrNameGet(path, sizeof path) == 0) std::snprintf(path, sizeof path, "%s", Folders[kFolderArr]);
      if (!FileDialogById(kFileDlgOpen, OFN_FILEMUSTEXIST, 0, path, sizeof path, IDS_ARR_FILTER, IDS_ARR_EXT, wnd))
        return;
      ArrOpenCmd(path);
      return;
    }
    case 41002: {
      // The chosen file is read into the arrangement; its name is not the
      // arrangement's.
      char path[MAX_PATH];
      if (ArrNameGet(path, sizeof path) == 0) std::snprintf(path, sizeof path, "%s", Folders[kFolderArr]);
      if (!FileDialogById(kFileDlgOpen, OFN_FILEMUSTEXIST, 0, path, sizeof path, IDS_ARR_FILTER, IDS_ARR_EXT, wnd))
        return;
      ArrMergeCmd(path);
      return;
    }
    case 41003: ArrSaveCmd(); return;
    case 41004: ArrSaveAsCmd(); return;
    case 41008: MixNewCmd(); return;
    case 41009: {
      if (MixSavePrompt() == kIdCancel) return;
      char path[MAX_PATH];
      if (MixNameGet(path, sizeof path) == 0) std::snprintf(path, sizeof path, "%s", Folders[kFolderMix]);
      if (!FileDialogById(kFileDlgOpen, OFN_FILEMUSTEXIST, 0, path, sizeof path, IDS_MIX_FILTER, IDS_MIX_EXT, wnd))
        return;
      MixOpenCmd(path);
      return;
    }
    case 41010: MixSaveCmd(); return;
    case 41011: MixSaveAsCmd(); return;
    case 41017: TempoImport(); return;
    case 41018: TempoRemove(); return;
    default:
      if (id >= 41900 && id <= 41908) FolderCommand(id);
      return;
  }
}

void DocAutoSave() {
  UseHost();
  ArrAutoSave();
  MixAutoSave();
}

void DocWriteLastFiles() {
  ReadFolders();
  const char* ini = Shell().iniPath;
  char name[MAX_PATH];
  const bool arr = ArrIsNamed() && ArrNameGet(name, sizeof name) > 0;
  WriteIniValue(ini, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_ACT_ARR, "%s", arr ? name : "");
  const bool mix = MixIsNamed() && MixNameGet(name, sizeof name) > 0;
  WriteIniValue(ini, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_ACT_MIX, "%s", mix ? name : "");
  // The video service keeps its file itself; the last video folder stands
  // for it while a file is open.
  WriteIniValue(ini, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_ACT_VIDEO, "%s",
                VideoFileIsOpen() ? Folders[kFolderVideo] : "");
  WriteIniValue(ini, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_ACT_MIDI, "%s",
                TempoMap ? Folders[kFolderMidi] : "");
  for (int i = 0; i < 9; ++i)
    WriteIniValue(ini, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_RECORD_PROCESS_DIRECTORY + static_cast<uint32_t>(i),
                  "%s", domainFolders[i]);
}

void DocOpenLastMix() {
  UseHost();
  char path[MAX_PATH] = "";
  ReadIniString(Shell().iniPath, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_ACT_MIX, path, sizeof path);
  if (path[0] == '\0' || !MixOpenCmd(path)) MixNewCmd();
}
