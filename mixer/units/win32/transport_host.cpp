// The transport, the control-surface link and MIDI bound to the program:
// what each drives is the program's own services, the native devices, the
// outside libraries and the model's state.
#include "mixer/units/win32/transport_host.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "mixer/arrange/arrview.h"
#include "mixer/arrange/genwave.h"
#include "mixer/arrange/recpass.h"
#include "mixer/arrange/services.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/mix/mixaut.h"
#include "mixer/mix/services.h"
#include "mixer/model/arr.h"
#include "mixer/model/marker.h"
#include "mixer/model/recready.h"
#include "mixer/model/host.h"
#include "mixer/model/settings.h"
#include "mixer/model/snap.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/appwnd.h"
#include "mixer/shell/services.h"
#include "mixer/units/console.h"
#include "mixer/units/midiplay.h"
#include "mixer/units/natlink.h"
#include "mixer/units/playlist.h"
#include "mixer/units/services.h"
#include "mixer/units/transport.h"
#include "mixer/units/win32/natdev_win.h"

namespace {

constexpr int32_t kEndOfTime = 0x7FFF05FF;
// Longest wait for the native devices' buffers to fill before a start.
constexpr uint32_t kPrepareLimitMs = 10000;

void SleepMs(uint32_t ms) { Sleep(ms); }

int32_t ClockOrNow() { return NatLinkDeviceCount() > 0 ? NatLinkGetCloc() : Locs().NowLoc; }

class ProgramTransport final : public TransportHost {
 public:
  int32_t NowLoc() override { return Locs().NowLoc; }
  void SetNowLoc(int32_t p) override { Locs().NowLoc = std::clamp(p, 0, kEndOfTime - 1); }
  int32_t LeftLoc() override { return Locs().LeftLoc; }
  int32_t RightLoc() override { return Locs().RightLoc; }
  int SeamlessLoopOn() override { return IsSeamlessLoopOn(); }
  int LoopOn() override { return (Settings().PlayRecMode & kModeLoop) != 0; }
  int32_t SampleRate() override { return static_cast<int32_t>(Settings().SampleRate); }

  void UnitsStop() override { ::UnitsStop(); }
  void UnitsLocate(int32_t p) override { ::UnitsLocate(p); }
  void UnitsPrepPlayBufs(int32_t p) override { ::UnitsPrepPlayBufs(p); }
  void UnitsWaitUntilIdle() override {
    for (uint32_t waited = 0; !UnitsAllIdle() && waited < kPrepareLimitMs; waited += 10) Sleep(10);
  }
  int UnitsStartPlayRec(int record) override { return ::UnitsStartPlayRec(record); }
  void UnitsWind(int32_t speed) override { ::UnitsWind(speed); }
  void UnitsSetLoop(int kind, int on, int flag) override { ::UnitsSetLoop(kind, on, flag); }
  void CardsSyncCommand(int32_t p) override { ::CardsSyncCommand(Settings().SampleRate, 0, p, 0, 0, 0); }

  int32_t NatDevGetClocAll() override { return ClockOrNow(); }
  void NatDevStopAll() override {
    if (NatLinkApi()) NatLinkStopAll();
  }
  void NatDevPrepAll(int32_t p) override {
    if (NatLinkApi()) NatLinkPrepAll(p);
  }
  void NatDevWaitPrepared() override {
    if (NatLinkApi()) NatLinkWaitPrepared(10, kPrepareLimitMs, SleepMs);
  }
  void NatDevStartAll() override {
    if (NatLinkApi()) NatLinkStartAll();
  }
  void RefreshPlayLists(int32_t p) override { ::RefreshPlayLists(p); }
  void RebuildAllPlayLists() override {
    if (NatLinkApi() && CurArr) CompileAllPlayLists(CurArr);
  }
  void SetPlayEnd(int32_t p) override {
    if (NatLinkApi()) NatLinkSetEnd(p);
  }
  void UnitsPrepScrubBufs(int32_t from, int32_t to) override { ::UnitsPrepScrubBufs(from, to); }
  void UnitsStartScrub(int mode) override { ::UnitsStartScrub(mode); }
  void SetScrubSyncMode() override { ProgramScrubSyncMode(); }
  void RestorePlayFlags() override { ProgramRestorePlayFlags(); }
  void UnitsLoopPunchOff() override { ::UnitsSetLoop(1, 0, 0); }

  void MxaStopPlayRec(int32_t p) override { ::MxaStopPlayRec(p); }
  void MxaStartPlayRec() override { ::MxaStartPlayRec(1); }
  void MxaSetNowLoc(int32_t p) override { ::MxaSetNowLoc(p); }
  void MxaLocate(int32_t p) override { ::MxaLocate(p); }
  void MxaWriteChangedTakes() override { ::MxaWriteChangedTakes(1); }
  void MxaRebuildPlayMaps() override { MxaRefreshAfterEdit(CurArr, CurMixDoc(), Locs().NowLoc); }
  int MixHasNatRecElem() override { return ::MixHasNatRecElem(); }
  void MixSetRecMonState(int state) override { ::MixSetTrkRecState(state, 0, 0); }
  // The native recorder elements record while the transport records and
  // are idle otherwise.
  void MixSetTrkRecState() override {
    ::MixSetTrkRecState(TransportStateOf(TransportLampState()) == 4 ? 2 : 0, 0, 0);
  }

  void MidiStopPlayRec(int32_t p) override { ::MidiStopPlayRec(p); }
  void MidiPrepPlayBufs(int32_t p) override { MidiPrepPlay(p); }
  void MidiStartPlayRec() override { MidiStartPlay(); }
  void MidiSetLoop(int kind, int prepare) override { MidiSetLoopRange(kind, prepare); }
  void MidiSaveLogs() override { ::MidiSaveLogs(0); }
  void MidiBuildPlayLists(int after) override { ::MidiBuildPlayLists(CurArr, after, 0, -1, 0, 0); }

  void VideoStop() override { ProgramVideoStop(); }
  void VideoPrepPlay(int32_t p) override { ::VideoPrepPlay(p); }
  void VideoStart() override { ProgramVideoStart(); }

  int NinePinLeads() override { return NinePinLeadsTransport(); }
  // The machine winds by its own 9-pin commands, which the 9-pin window
  // sends; the transport only leaves it alone.
  void NinePinWind(int) override {}
  int32_t NinePinGetMachinePos() override {
    int32_t position = Locs().NowLoc;
    int status = 0;
    NinePinWindPosition(&position, &status);
    return position;
  }
  void NinePinTransportEvent(int e, int32_t p) override { ::NinePinTransportEvent(e, p); }

  void ConsoleNotifyTransport(int state) override { ConsoleSendTransport(state); }
  void ConsoleNotifyModes() override { ConsoleSendModes(Settings().PlayRecMode, 0x119); }

  // The record pass: Takes made ahead of the pass, one pass per loop turn
  // stacked on the record tracks' Virtual Tracks, the last one heard.
  void ArrRecordStop(int32_t p) override { ::ArrRecordStop(p, TransportPassCount()); }
  void ArrUpdateRuler() override { ArrRedrawWindows(); }
  int ArrRecordPass(int32_t start, int32_t end) override {
    TransportSetPassCount(0);
    return ::ArrRecordPass(&start, &end, 1, nullptr);
  }
  void ArrRecordLoopStep() override {
    const int32_t pass = TransportPassCount() + 1;
    TransportSetPassCount(pass);
    ::ArrRecordLoopStep(Locs().LeftLoc, Locs().RightLoc, pass, std::max<int32_t>(TransportPassLimit(), 1));
  }
  void ArrRedrawRecordParts() override { ArrRedrawWindows(); }
  void ArrRefreshAfterLocate() override { ::ArrRefreshAfterLocate(); }
  void ArrGenTakeWaveforms() override {
    if (CurArr) ::ArrGenTakeWaveforms(nullptr, 1, 1, 0);
  }
  int32_t ArrNxtSectionEdge(int32_t p) override { return CurArr ? ::ArrNxtSectionEdge(p, 1) : p; }
  int32_t ArrPrevSectionEdge(int32_t p) override { return CurArr ? ::ArrNxtSectionEdge(p, 0) : p; }
  int32_t SnapStep(int32_t p, int direction) override {
    const int32_t moved = std::clamp(p + direction, 0, kEndOfTime - 1);
    return SnapLoc(moved, 0, direction, CurArr, CurMrkList, 0, 1);
  }
  int32_t ArrStartLoc() override { return ::ArrStartLoc(CurArr); }
  int32_t ArrEndLoc() override { return std::min(::ArrEndLoc(CurArr), kEndOfTime - 1); }
  uint32_t RecTimeAvailable() override { return ::RecTimeAvailable(); }
  int RecTracksFit() override { return 1; }

  void ShowNowBars() override { TransportShowNowBars(); }
  void ShowNowTimecode() override { TransportShowNowTimecode(); }
  void ShowLamps() override { TransportShowModeLamps(); }
  void UpdateRecLamps() override { TransportShowModeLamps(); }
  void StatusRefresh() override { StatusRedrawAll(); }
  void UpdateEndLoc() override { TransportUpdateEndLoc(); }
};

class ProgramConsole final : public ConsoleHost {
 public:
  int MouseCaptured() override { return GetCapture() != nullptr; }
  // Windows held disabled by anything but the surface's own motion.
  int ModalOpen() override { return AppWindowsDisabled() && ConsoleMotionState() == kMotionNone; }
  int NinePinArmedToDrive() override { return ::NinePinArmedToDrive(); }
  int TransportState() override { return TransportStateOf(TransportLampState()); }
  uint32_t SampleRate() override { return Settings().SampleRate; }
  uint32_t FrameRateCode() override { return Settings().CurFrameRate; }
  uint32_t TimecodeOffset() override { return Settings().TcOffset; }
  int32_t NowLoc() override { return Locs().NowLoc; }
  int32_t ClockLoc() override { return ClockOrNow(); }
  int32_t LeftLoc() override { return Locs().LeftLoc; }
  int32_t RightLoc() override { return Locs().RightLoc; }
  uint32_t PlayRecMode() override { return Settings().PlayRecMode; }
  void SetPlayRecMode(uint32_t mode) override { SetArrParam(7, mode); }
  int32_t Zoom() override { return ArrView().Hzoom; }  // the arrange view's samples per pixel
  int RecState(int32_t track) override { return RecTrkGetState(kRecKindAudio, track); }
  int MarkerValid(int32_t n) override { return MrkIsValid(CurMrkList, static_cast<uint32_t>(n)); }
  void Marker(int32_t n, ConsoleMarkerRec* out) override {
    if (const MrkRec* m = MrkSlot(CurMrkList, static_cast<uint32_t>(n - 1))) {
      out->position = m->Position;
      std::memcpy(out->name, m->Name, std::min(sizeof out->name, sizeof m->Name));
    }
  }
  void MarkerEdit(int code, int32_t n, int32_t p) override {
    MrkEdit(static_cast<uint32_t>(code), static_cast<uint32_t>(n), p);
  }
  void UndoRecord(int create) override { ::UndoRecord(create ? IDS_UNDO_CREATE : IDS_UNDO_MOVE); }
  // The mixer's windows are not built: no strips to describe.
  int MixRebuilding() override { return 0; }
  int32_t MixStripCount() override { return 0; }
  int MixStrip(int32_t, ConsoleStripRec*) override { return 0; }
  int MixElem(int32_t, int32_t, ConsoleElemRec*) override { return 0; }
  int MixQuery(int32_t, intptr_t) override { return 0; }
  int KnobShift(int32_t, int32_t) override { return 0; }
  int KnobValue(int32_t, int32_t, int32_t*) override { return 0; }
  int SetKnob(int32_t, int32_t, int32_t) override { return 0; }
  void MxaSetKnobValue(int32_t, int32_t, int32_t) override {}
  int ElemSet(int32_t, int32_t, intptr_t) override { return 0; }
  void TransportCommand(int cmd) override { TransportRun(cmd); }
  void EnableAppWindows(int on) override { ::EnableAppWindows(on); }
  void LocateNow(int32_t p) override { SetLocator(kLocNowLocate, p); }
  void SetNowView(int32_t p) override { SetLocator(kLocNowView, p); }
  void SetLocator(int which, int32_t p) override { ::SetLocator(which == 2 ? kLocLeft : kLocRight, p); }
  void ScrubStep(int32_t target) override { VideoSetScrubLoc(target); }
  void ScrubEnd() override {}
  void WindowMessage(int32_t, intptr_t) override {}
  void ToolButton(intptr_t) override {}
  int ToolAtIndex(int32_t n) override { return n >= 0 && n <= 48 ? n : 99; }
  void ToolSelect(int slot, int tool) override { ::ToolSelect(slot, tool); }
  void SetRecReady(int32_t track, int state) override {
    ::SetRecReady(kRecKindAudio, track, track, state == 2 ? kRecReadyArm : kRecReadySafe);
  }
  void SeamlessLoopChanged() override {
    UnitsSetLoop(1, 1, 0);
    MidiSetLoopRange(1, 1);
    TransportUpdateEndLoc();
  }
  void ModeBitChanged(uint32_t) override {}
  void ShowModeLamps() override { TransportShowModeLamps(); }
  uint32_t TimeMs() override { return GetTickCount(); }
};

// MIDI's view of the program.
const MidiPlayHost kMidiHost = {
    [] { return TransportStateOf(TransportLampState()); },
    [] { return 0; },
    [] { return IsSeamlessLoopOn(); },
    [] { return Locs().NowLoc; },
    [] { return Locs().LeftLoc; },
    [] { return Locs().RightLoc; },
    [] { return Settings().PlayRecMode; },
    [] { return static_cast<int32_t>(Settings().PreRoll); },
    [] { return static_cast<int32_t>(Settings().PostRoll); },
    [] { return TransportPassCount(); },
    [] { return std::max<int32_t>(TransportPassLimit(), 1); },
    [](uint32_t id, const char* arg) {
      if (arg) MessageBoxById(nullptr, id, kMbWarnOk, arg);
      else MessageBoxById(nullptr, id, kMbWarnOk);
    },
};

ProgramTransport gTransport;
ProgramConsole gConsole;

}  // namespace

void ProgramLinksInit() {
  static bool done = false;
  if (done) return;
  done = true;
  TransportBind(&gTransport);
  ProgramArrangeSeamsInit();
  ConsoleBind(ProgramConsoleLib(), &gConsole);
  MidiSetHost(&kMidiHost);
  MidiBindLib(ProgramMidiLib());
}
